#include "data/file_normale.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vendrix {

TipoFile TipoDiFile(const std::filesystem::path& percorso) {
  struct stat info {};
  if (::stat(percorso.c_str(), &info) != 0) {
    switch (errno) {
      case ELOOP:
        return TipoFile::kCiclo;
      case EACCES:
        return TipoFile::kNegato;
      default:
        return TipoFile::kMancante;
    }
  }
  if (S_ISREG(info.st_mode)) return TipoFile::kNormale;
  if (S_ISDIR(info.st_mode)) return TipoFile::kCartella;
  return TipoFile::kSpeciale;
}

std::string MotivoFileNonLeggibile(TipoFile tipo) {
  // In the order of TipoFile.
  static constexpr const char* kMotivi[] = {
      "",
      "file non trovato",
      "è una cartella, non un file",
      "non è un file normale (è una pipe, un socket o un dispositivo)",
      "è un collegamento simbolico che rimanda a se stesso",
      "accesso al file negato",
  };
  return kMotivi[static_cast<int>(tipo)];
}

int ApriFileNormale(const std::string& percorso) {
  // O_NONBLOCK: a FIFO with no writer would make the open wait; the type is then checked on the
  // open file itself, so nothing can be swapped in between.
  const int fd = ::open(percorso.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

}  // namespace vendrix
