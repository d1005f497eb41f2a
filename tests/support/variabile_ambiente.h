#ifndef VENDRIX_TESTS_SUPPORT_VARIABILE_AMBIENTE_H_
#define VENDRIX_TESTS_SUPPORT_VARIABILE_AMBIENTE_H_

// Test-only: an environment variable set for the life of an object, then as it was before.

#include <stdlib.h>

#include <optional>
#include <string>

namespace vendrix::prova {

class VariabileAmbiente {
 public:
  VariabileAmbiente(std::string nome, const std::string& valore) : nome_(std::move(nome)) {
    if (const char* prima = getenv(nome_.c_str())) prima_ = prima;
    setenv(nome_.c_str(), valore.c_str(), 1);
  }
  ~VariabileAmbiente() {
    if (prima_) {
      setenv(nome_.c_str(), prima_->c_str(), 1);
    } else {
      unsetenv(nome_.c_str());
    }
  }
  VariabileAmbiente(const VariabileAmbiente&) = delete;
  VariabileAmbiente& operator=(const VariabileAmbiente&) = delete;

 private:
  std::string nome_;
  std::optional<std::string> prima_;
};

}  // namespace vendrix::prova

#endif  // VENDRIX_TESTS_SUPPORT_VARIABILE_AMBIENTE_H_
