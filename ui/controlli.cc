#include "ui/controlli.h"

#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QShortcutEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <initializer_list>
#include <utility>

namespace vendrix {

CasellaData::CasellaData(QWidget* parent, std::function<void()> al_fuoco)
    : QLineEdit(parent), al_fuoco_(std::move(al_fuoco)) {}

void CasellaData::focusInEvent(QFocusEvent* evento) {
  QLineEdit::focusInEvent(evento);
  // Coming back from another window or a menu is not a new visit to the box: the user keeps the
  // caret where it was.
  if (evento->reason() == Qt::ActiveWindowFocusReason || evento->reason() == Qt::PopupFocusReason) {
    return;
  }
  fuoco_dal_mouse_ = evento->reason() == Qt::MouseFocusReason;
  if (al_fuoco_) al_fuoco_();
}

void CasellaData::mousePressEvent(QMouseEvent* evento) {
  QLineEdit::mousePressEvent(evento);
  // The click that brought the focus would otherwise leave a bare caret where it landed.
  if (fuoco_dal_mouse_) {
    fuoco_dal_mouse_ = false;
    if (al_fuoco_) al_fuoco_();
  }
}

Pulsante::Pulsante(const QString& testo, QWidget* parent) : QPushButton(testo, parent) {
  setAutoDefault(false);
  setDefault(false);
}

bool Pulsante::event(QEvent* evento) {
  // The caption's mnemonic is the button's only shortcut.
  if (evento->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(evento)->isAmbiguous()) {
    setFocus(Qt::ShortcutFocusReason);
    click();
    return true;
  }
  return QPushButton::event(evento);
}

void Pulsante::keyPressEvent(QKeyEvent* evento) {
  const bool invio = evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers altri = evento->modifiers() & ~Qt::KeypadModifier;
  if (invio && altri == Qt::NoModifier) {
    // A held-down Enter presses the button once, not once per repeat.
    if (!evento->isAutoRepeat()) click();
    evento->accept();
    return;
  }
  QPushButton::keyPressEvent(evento);
}

void Pulsante::paintEvent(QPaintEvent* evento) {
  if (icon().isNull()) {
    QPushButton::paintEvent(evento);
    return;
  }
  QStylePainter pittore(this);
  QStyleOptionButton opzioni;
  initStyleOption(&opzioni);
  opzioni.text.clear();
  opzioni.icon = QIcon();
  pittore.drawControl(QStyle::CE_PushButtonBevel, opzioni);

  const QRect interno = style()->subElementRect(QStyle::SE_PushButtonContents, &opzioni, this);
  const QFontMetrics metriche(font());
  const int altezza_testo = metriche.height();
  const int spazio = 2;
  const int altezza_tutto = iconSize().height() + spazio + altezza_testo;
  const int cima = interno.top() + (interno.height() - altezza_tutto) / 2;
  const QPixmap immagine = icon().pixmap(iconSize(), isEnabled() ? QIcon::Normal : QIcon::Disabled);
  const QRect area_immagine(interno.left() + (interno.width() - iconSize().width()) / 2, cima,
                            iconSize().width(), iconSize().height());
  pittore.drawPixmap(area_immagine, immagine);
  const QRect area_testo(interno.left(), cima + iconSize().height() + spazio, interno.width(),
                         altezza_testo);
  pittore.drawItemText(area_testo, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextShowMnemonic,
                       palette(), isEnabled(), text(), QPalette::ButtonText);
  if (hasFocus()) {
    QStyleOptionFocusRect fuoco;
    fuoco.initFrom(this);
    fuoco.rect = interno.adjusted(1, 1, -1, -1);
    pittore.drawPrimitive(QStyle::PE_FrameFocusRect, fuoco);
  }
}

Cornice::Cornice(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  Segna(false);
}

void Cornice::Segna(bool rifiuto) {
  setLineWidth(rifiuto ? 2 : 1);
  QPalette colori = palette();
  colori.setColor(QPalette::WindowText, rifiuto ? QColor(220, 0, 0) : QColor(Qt::black));
  setPalette(colori);
}

namespace {

// The closed outline through `punti`.
QPainterPath Poligono(std::initializer_list<QPointF> punti) {
  QPainterPath via;
  via.addPolygon(QPolygonF(QList<QPointF>(punti)));
  via.closeSubpath();
  return via;
}

}  // namespace

QPixmap ImmagineEsci() {
  QImage immagine(48, 48, QImage::Format_ARGB32_Premultiplied);
  immagine.fill(Qt::transparent);
  QPainter p(&immagine);
  p.setRenderHint(QPainter::Antialiasing);

  // Door frame and the dark doorway behind the open door.
  p.setPen(QPen(QColor(90, 60, 30), 2));
  p.setBrush(QColor(60, 60, 70));
  p.drawRect(QRectF(6, 5, 22, 38));

  // The door, swung open towards the viewer.
  p.setPen(QPen(QColor(90, 60, 30), 1.5));
  p.setBrush(QColor(170, 110, 55));
  p.drawPath(Poligono({{6, 5}, {17, 9}, {17, 47}, {6, 43}}));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(240, 200, 80));
  p.drawEllipse(QPointF(14.5, 27), 1.6, 1.6);

  // The arrow out of the doorway.
  p.setPen(QPen(QColor(20, 100, 30), 1.5));
  p.setBrush(QColor(60, 180, 75));
  p.drawPath(Poligono({{20, 21}, {33, 21}, {33, 14}, {46, 25}, {33, 36}, {33, 29}, {20, 29}}));
  p.end();
  return QPixmap::fromImage(immagine);
}

}  // namespace vendrix
