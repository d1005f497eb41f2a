#ifndef VENDRIX_TESTS_SUPPORT_AMBIENTE_QT_H_
#define VENDRIX_TESTS_SUPPORT_AMBIENTE_QT_H_

// Test-only: one QApplication for a whole window test program, on the offscreen platform (CI
// has no display). Registered once per program:
//   ::testing::Environment* const kAmbiente =
//       ::testing::AddGlobalTestEnvironment(new prova::AmbienteQt("nome_test"));

#include <gtest/gtest.h>

#include <QApplication>

namespace vendrix::prova {

class AmbienteQt : public ::testing::Environment {
 public:
  // `nome` is the program's name as its command line gives it.
  explicit AmbienteQt(const char* nome) : nome_(nome) {}

  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    argv_[0] = const_cast<char*>(nome_);
    applicazione_ = new QApplication(argc_, argv_);
    applicazione_->setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { delete applicazione_; }

 private:
  const char* nome_;
  int argc_ = 1;
  char* argv_[2] = {nullptr, nullptr};
  QApplication* applicazione_ = nullptr;
};

}  // namespace vendrix::prova

#endif  // VENDRIX_TESTS_SUPPORT_AMBIENTE_QT_H_
