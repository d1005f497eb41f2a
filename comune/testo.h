#ifndef VENDRIX_COMUNE_TESTO_H_
#define VENDRIX_COMUNE_TESTO_H_

// The text helpers every layer shares: UTF-8 checks and repairs, ASCII case folding, trimming
// and the quoting of literals. Texts are UTF-8 throughout the program.

#include <cstddef>
#include <string>
#include <string_view>

namespace vendrix {

// true when `testo` is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool Utf8Valido(std::string_view testo);

// `testo` with every byte that does not belong to a well-formed UTF-8 sequence replaced by
// U+FFFD; well-formed text comes back as it is.
std::string Utf8Riparato(std::string_view testo);

// Appends the UTF-8 form of one code point (at most U+10FFFF).
void AggiungiUtf8(std::string& testo, char32_t codice);

// Windows-1252 to UTF-8; the five codes 1252 leaves undefined keep their C1 code points.
std::string Da1252(std::string_view testo);

// At most `massimo` characters (code points) of UTF-8 text, never splitting one.
std::string_view PrimiCaratteri(std::string_view testo, size_t massimo);

// ASCII case folding: only A-Z and a-z change, every other byte stays as it is.
constexpr char Minuscola(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char Maiuscola(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string InMinuscolo(std::string_view testo);
std::string InMaiuscolo(std::string_view testo);
// true when the two texts differ at most in the case of ASCII letters.
bool UgualeNoCase(std::string_view a, std::string_view b);

// The blanks a trimming removes: spaces only; spaces and tabs; any white space.
inline constexpr std::string_view kSoloSpazi = " ";
inline constexpr std::string_view kSpaziETab = " \t";
inline constexpr std::string_view kSpaziBianchi = " \t\r\n\f\v";
// `testo` without the characters of `spazi` at either end.
std::string_view SenzaSpazi(std::string_view testo, std::string_view spazi = kSpaziETab);

// The one helper that turns a text into a quoted literal for SQL and criteria texts: 'a''b'.
std::string Quota(std::string_view testo);
// The same literal, appended to `destinazione`, for texts built over and over in one buffer.
void Quota(std::string_view testo, std::string& destinazione);
// A name (of a table, column or schema) quoted for SQLite: "na""me".
std::string QuotaNome(std::string_view nome);

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_TESTO_H_
