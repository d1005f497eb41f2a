// vendrix-lettore-jet FILE COPY BYTES: copies the Access file FILE into the new SQLite file COPY
// and tells how it goes on descriptor 3, as jet_lettore.h describes, taking at most BYTES of
// memory beyond what it starts with. Started by the engine (jet.cc), never by hand.

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "data/jet_lettore.h"

int main(int argc, char** argv) {
  using namespace vendrix::jet::detail;
  char* fine = nullptr;
  errno = 0;
  const unsigned long long byte = argc == 4 ? std::strtoull(argv[3], &fine, 10) : 0;
  if (argc != 4 || fine == argv[3] || *fine != '\0' || errno != 0) {
    std::fprintf(stderr, "Uso: %s FILE COPIA BYTE (programma interno di Vendrix)\n", kNomeLettore);
    return 64;
  }
  LimitaMemoria(static_cast<std::size_t>(byte));
  return CopiaDatabase(argv[1], argv[2], kDescrittoreFlusso);
}
