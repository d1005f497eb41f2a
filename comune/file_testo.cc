#include "comune/file_testo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "comune/errore_sistema.h"

namespace vendrix {

namespace {

constexpr off_t kMassimoByteFileTesto = 16 << 20;

// UTF-16 of the given byte order, its mark already removed; nullopt for an odd length, a broken
// surrogate pair or a NUL.
std::optional<std::string> DaUtf16(std::string_view byte, bool big_endian) {
  if (byte.size() % 2 != 0) return std::nullopt;
  std::string risultato;
  risultato.reserve(byte.size());
  for (size_t i = 0; i < byte.size(); i += 2) {
    const auto a = static_cast<unsigned char>(byte[i]), b = static_cast<unsigned char>(byte[i + 1]);
    char32_t u = big_endian ? (a << 8 | b) : (b << 8 | a);
    if (u == 0) return std::nullopt;
    if (u >= 0xDC00 && u <= 0xDFFF) return std::nullopt;
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 3 >= byte.size()) return std::nullopt;
      const auto c = static_cast<unsigned char>(byte[i + 2]);
      const auto d = static_cast<unsigned char>(byte[i + 3]);
      const char32_t basso = big_endian ? (c << 8 | d) : (d << 8 | c);
      if (basso < 0xDC00 || basso > 0xDFFF) return std::nullopt;
      u = 0x10000 + ((u - 0xD800) << 10) + (basso - 0xDC00);
      i += 2;
    }
    AggiungiUtf8(risultato, u);
  }
  return risultato;
}

}  // namespace

std::optional<std::string> DecodificaTesto(std::string_view byte) {
  if (byte.starts_with("\xFF\xFE")) return DaUtf16(byte.substr(2), false);
  if (byte.starts_with("\xFE\xFF")) return DaUtf16(byte.substr(2), true);
  if (byte.find('\0') != std::string_view::npos) return std::nullopt;
  if (byte.starts_with("\xEF\xBB\xBF")) byte.remove_prefix(3);
  if (Utf8Valido(byte)) return std::string(byte);
  return Da1252(byte);
}

FileTesto LeggiFileTesto(const std::filesystem::path& percorso) {
  FileTesto esito;
  const std::string nome = percorso.string();
  // O_NONBLOCK: opening a FIFO with no writer would wait for ever; the type is checked on the
  // open file itself, so nothing can swap it in between.
  const int fd = ::open(nome.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return esito;
    esito.presente = true;
    esito.errore = "Impossibile leggere il file " + nome + ": " + TestoErroreSistema(errno) +
                   ". Controllare il file e riprovare.";
    return esito;
  }
  esito.presente = true;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    esito.errore = "Il file " + nome +
                   " non è un file normale (è una cartella, una pipe o un dispositivo): "
                   "sostituirlo con un file di testo.";
    return esito;
  }
  if (info.st_size > kMassimoByteFileTesto) {
    ::close(fd);
    esito.errore = "Il file " + nome + " è troppo grande per un file scritto a mano (oltre 16 MB): " +
                   "controllare che sia il file giusto.";
    return esito;
  }
  std::string byte;
  char blocco[65536];
  for (;;) {
    const ssize_t letti = ::read(fd, blocco, sizeof blocco);
    if (letti < 0 && errno == EINTR) continue;
    if (letti < 0) {
      const int numero = errno;
      ::close(fd);
      esito.errore = "Impossibile leggere il file " + nome + ": " + TestoErroreSistema(numero) +
                     ". Controllare il file e riprovare.";
      return esito;
    }
    if (letti == 0 || byte.size() > kMassimoByteFileTesto) break;
    byte.append(blocco, static_cast<size_t>(letti));
  }
  ::close(fd);
  const std::optional<std::string> testo = DecodificaTesto(byte);
  if (!testo) {
    esito.errore = "Il file " + nome +
                   " non è un file di testo: salvarlo come testo (UTF-8, Unicode o ANSI) e "
                   "riprovare.";
    return esito;
  }
  size_t inizio = 0;
  while (inizio < testo->size()) {
    size_t fine = testo->find_first_of("\r\n", inizio);
    if (fine == std::string::npos) fine = testo->size();
    esito.righe.push_back(testo->substr(inizio, fine - inizio));
    inizio = fine;
    if (inizio < testo->size()) {
      inizio += ((*testo)[inizio] == '\r' && inizio + 1 < testo->size() &&
                 (*testo)[inizio + 1] == '\n')
                    ? 2
                    : 1;
    }
  }
  return esito;
}

}  // namespace vendrix
