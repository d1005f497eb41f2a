#ifndef VENDRIX_UI_CONTROLLI_H_
#define VENDRIX_UI_CONTROLLI_H_

// The few widgets of the window that behave differently from Qt's own.

#include <QFrame>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <functional>

namespace vendrix {

// A date box. `al_fuoco` runs whenever the box receives the focus from the user or the program,
// but not when the whole window is merely activated again. When a mouse click gives it the
// focus, `al_fuoco` runs again after the click has placed the caret, so that what it does (select
// the whole text) is what the user sees.
class CasellaData : public QLineEdit {
 public:
  explicit CasellaData(QWidget* parent, std::function<void()> al_fuoco);

 protected:
  void focusInEvent(QFocusEvent* evento) override;
  void mousePressEvent(QMouseEvent* evento) override;

 private:
  std::function<void()> al_fuoco_;
  bool fuoco_dal_mouse_ = false;  // the focus came with the mouse press not yet handled
};

// A command button that Enter presses as Space does: outside dialogs Qt leaves Enter to the
// default button, and the window has none. Its access key presses it at once rather than after
// Qt's short animation, so that a run starts before any other input is handled. With a picture,
// the picture is drawn above the caption, the way a graphical button shows it.
class Pulsante : public QPushButton {
 public:
  Pulsante(const QString& testo, QWidget* parent);

 protected:
  bool event(QEvent* evento) override;
  void keyPressEvent(QKeyEvent* evento) override;
  void paintEvent(QPaintEvent* evento) override;
};

// A thin black rectangle drawn around a control; it takes neither focus nor mouse clicks.
// Marked, it is drawn red and thicker, to show that the control's content is refused.
class Cornice : public QFrame {
 public:
  explicit Cornice(QWidget* parent);
  void Segna(bool rifiuto);
};

// The 48 x 48 picture of the exit button: an open door with an arrow leading out of it.
QPixmap ImmagineEsci();

}  // namespace vendrix

#endif  // VENDRIX_UI_CONTROLLI_H_
