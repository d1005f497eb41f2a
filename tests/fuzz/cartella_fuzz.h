#ifndef VENDRIX_TESTS_FUZZ_CARTELLA_FUZZ_H_
#define VENDRIX_TESTS_FUZZ_CARTELLA_FUZZ_H_

// The folder a fuzz target writes its files in: vendrix-fuzz-<nome>-XXXXXX in the system's
// temporary folder, made at the first call and removed when the process ends normally (the
// corpus replay returns from main, libFuzzer calls exit). A run that crashes leaves it behind,
// beside the input that made it crash.

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

inline const std::filesystem::path& CartellaFuzz(const char* nome) {
  struct Cartella {
    std::filesystem::path percorso;
    ~Cartella() {
      std::error_code errore;
      std::filesystem::remove_all(percorso, errore);
    }
  };
  static const Cartella cartella{[nome] {
    std::string modello =
        (std::filesystem::temp_directory_path() / ("vendrix-fuzz-" + std::string(nome) + "-XXXXXX"))
            .string();
    if (mkdtemp(modello.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    return std::filesystem::path(modello);
  }()};
  return cartella.percorso;
}

#endif  // VENDRIX_TESTS_FUZZ_CARTELLA_FUZZ_H_
