#include "data/file_database.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "data/errore.h"
#include "data/file_normale.h"
#include "data/jet.h"

namespace vendrix::engine_detail {

namespace fs = std::filesystem;

namespace {

Formato RiconosciFormato(const fs::path& p) {
  const int fd = ApriFileNormale(p.string());
  if (fd < 0) return Formato::kSconosciuto;
  char testa[16] = {};
  const bool letta = ::pread(fd, testa, sizeof testa, 0) == static_cast<ssize_t>(sizeof testa);
  ::close(fd);
  if (letta && std::memcmp(testa, "SQLite format 3", 16) == 0) return Formato::kSqlite;
  if (jet::EFileJet(p.string())) return Formato::kJet;
  return Formato::kSconosciuto;
}

}  // namespace

fs::path RisolviPercorso(const std::string& nome, const fs::path& cartella) {
  const auto dentro = [&](const fs::path& p) {
    return cartella.empty() || p.is_absolute() ? p : cartella / p;
  };
  fs::path p = dentro(fs::path(nome));
  std::error_code ec;
  if (fs::exists(p, ec) || nome.find('\\') == std::string::npos) return p;
  std::string barre = nome;
  std::replace(barre.begin(), barre.end(), '\\', '/');
  fs::path q = dentro(fs::path(barre));
  if (fs::exists(q, ec)) return q;
  // For a file still to be created: its folder decides.
  if (!fs::exists(p.parent_path().empty() ? fs::path(".") : p.parent_path(), ec) &&
      fs::exists(q.parent_path().empty() ? fs::path(".") : q.parent_path(), ec)) {
    return q;
  }
  return p;
}

std::string Canonico(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::weakly_canonical(fs::absolute(p, ec), ec);
  return ec ? fs::absolute(p).lexically_normal().string() : c.string();
}

std::string UriFile(const fs::path& p, const char* parametri) {
  std::error_code ec;
  std::string assoluto = fs::absolute(p, ec).string();
  std::string uri = "file://";
  static const char* kEsa = "0123456789ABCDEF";
  for (unsigned char c : assoluto) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
        c == '.' || c == '_' || c == '-' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kEsa[c >> 4];
      uri += kEsa[c & 15];
    }
  }
  if (parametri) uri += parametri;
  return uri;
}

Formato ControllaFile(const fs::path& p, const std::string& nome, const std::string& dove) {
  const TipoFile tipo = TipoDiFile(p);
  if (tipo != TipoFile::kNormale) {
    throw Errore("Impossibile aprire il database '" + nome + "'" + dove + ": " +
                 MotivoFileNonLeggibile(tipo));
  }
  Formato f = RiconosciFormato(p);
  if (f == Formato::kSconosciuto) {
    const int fd = ApriFileNormale(p.string());
    if (fd < 0) {
      throw Errore("Impossibile aprire il database '" + nome + "'" + dove +
                   (errno == EINVAL ? ": " + MotivoFileNonLeggibile(TipoFile::kSpeciale)
                                    : std::string(": accesso al file negato")));
    }
    ::close(fd);
    throw Errore("Impossibile aprire il database '" + nome + "'" + dove +
                 ": il file non è un database riconosciuto");
  }
  return f;
}

}  // namespace vendrix::engine_detail
