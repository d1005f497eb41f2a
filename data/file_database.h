#ifndef VENDRIX_DATA_FILE_DATABASE_H_
#define VENDRIX_DATA_FILE_DATABASE_H_

// Database files as the engine finds them: a name as the caller wrote it, resolved inside the
// working folder; the canonical path that tells two names of one file apart from two files; the
// URI SQLite opens it by; its format, told from its first bytes.
#include <filesystem>
#include <string>

namespace vendrix::engine_detail {

enum class Formato { kSqlite, kJet, kSconosciuto };

// A path as the caller wrote it, a relative one taken inside `cartella` (the engine's working
// folder; empty: the process's). The hotel suite writes folders with backslashes, which are
// taken as separators when the path does not exist as written.
std::filesystem::path RisolviPercorso(const std::string& nome,
                                      const std::filesystem::path& cartella);
// The absolute path of `p` with links and dots resolved as far as the file system allows.
std::string Canonico(const std::filesystem::path& p);
// The file: URI of `p`, with `parametri` ("?mode=ro...", or null) after it.
std::string UriFile(const std::filesystem::path& p, const char* parametri);
// The format of the database file `p`; throws Errore naming `nome` (named `dove`) when the file
// is missing, not a regular file, unreadable or not a database. Only a regular file is opened,
// and never in a way that could wait on a special file.
Formato ControllaFile(const std::filesystem::path& p, const std::string& nome,
                      const std::string& dove);

}  // namespace vendrix::engine_detail

#endif  // VENDRIX_DATA_FILE_DATABASE_H_
