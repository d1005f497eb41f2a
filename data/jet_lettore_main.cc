// vendrix-lettore-jet FILE BYTES: reads the Access file FILE and sends it on descriptor 3 as the
// stream of jet_lettore.h, taking at most BYTES of memory beyond what it starts with. Started by
// the engine (jet.cc), never by hand.

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "data/jet_lettore.h"

int main(int argc, char** argv) {
  using namespace vendrix::jet::detail;
  char* fine = nullptr;
  errno = 0;
  const unsigned long long byte = argc == 3 ? std::strtoull(argv[2], &fine, 10) : 0;
  if (argc != 3 || fine == argv[2] || *fine != '\0' || errno != 0) {
    std::fprintf(stderr, "Uso: %s FILE BYTE (programma interno di Vendrix)\n", kNomeLettore);
    return 64;
  }
  LimitaMemoria(static_cast<std::size_t>(byte));
  return ScriviDatabase(argv[1], kDescrittoreFlusso);
}
