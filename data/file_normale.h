#ifndef VENDRIX_DATA_FILE_NORMALE_H_
#define VENDRIX_DATA_FILE_NORMALE_H_

// Hotel files are only ever opened as regular files. A FIFO, a device or a socket under a hotel
// file's name could make a plain open or read wait for ever (holding the folder's lock), so the
// type is checked first, and the open itself never waits.

#include <filesystem>
#include <string>

namespace vendrix {

// What stands at a path once its symlinks are followed.
enum class TipoFile {
  kNormale,
  kMancante,  // no such file (or a dangling symlink)
  kCartella,
  kSpeciale,  // a FIFO, a socket or a device
  kCiclo,     // symlinks that point at each other (or too many of them)
  kNegato,    // a folder on the way that may not be searched
};

// Looks at `percorso` without opening it.
TipoFile TipoDiFile(const std::filesystem::path& percorso);

// Why a file of type `tipo` cannot be read, in words for the user ("file non trovato", ...);
// empty for a regular file.
std::string MotivoFileNonLeggibile(TipoFile tipo);

// Opens `percorso` read-only, close-on-exec, without waiting on a special file, and returns the
// descriptor; -1 when it cannot be opened or is not a regular file once opened (errno then says
// why: EINVAL for a file that is not a regular file).
int ApriFileNormale(const std::string& percorso);

}  // namespace vendrix

#endif  // VENDRIX_DATA_FILE_NORMALE_H_
