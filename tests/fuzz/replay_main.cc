// Replays a fuzz target's corpus without libFuzzer: every file of the folders (or the files)
// named on the command line goes once through LLVMFuzzerTestOneInput. A fault found by a fuzzer
// is kept in the corpus, so the ordinary build checks it stays mended.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t dimensione);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> file;
  for (int i = 1; i < argc; ++i) {
    std::error_code errore;
    if (fs::is_directory(argv[i], errore)) {
      for (const auto& voce : fs::directory_iterator(argv[i])) {
        if (voce.is_regular_file()) file.push_back(voce.path());
      }
    } else {
      file.emplace_back(argv[i]);
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "Nessun file da ripetere\n");
    return 1;
  }
  std::sort(file.begin(), file.end());
  for (const fs::path& p : file) {
    std::ifstream in(p, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "Impossibile leggere %s\n", p.c_str());
      return 1;
    }
    const std::string dati((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(dati.data()), dati.size());
  }
  std::printf("%zu ingressi ripetuti\n", file.size());
  return 0;
}
