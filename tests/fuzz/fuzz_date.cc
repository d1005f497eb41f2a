// The date routine: any text is either refused or a real calendar day between 1900 and 9999,
// and a day written back as text reads as the same day (so do its key and its cleaned text).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "comune/date.h"

namespace {

using std::chrono::sys_days;

void Guasto(const std::string& cosa, std::string_view testo) {
  std::fprintf(stderr, "GUASTO: %s: '%.*s'\n", cosa.c_str(), static_cast<int>(testo.size()),
               testo.data());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t dimensione) {
  using namespace vendrix;
  const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
  const std::optional<sys_days> giorno = LeggiData(testo);
  (void)PulisciData(testo);
  if (!giorno) return 0;
  const std::chrono::year_month_day ymd{*giorno};
  if (!ymd.ok() || ymd.year() < std::chrono::year{1900} || ymd.year() > std::chrono::year{9999}) {
    Guasto("accettata una data fuori dal calendario o dagli anni 1900-9999", testo);
  }
  if (LeggiData(TestoData(*giorno)) != giorno) Guasto("il testo della data non si rilegge", testo);
  if (GiornoDaChiave(ChiaveData(*giorno)) != giorno) {
    Guasto("la chiave della data non si rilegge", testo);
  }
  if (LeggiData(PulisciData(testo)) != giorno) Guasto("la data ripulita cambia giorno", testo);
  return 0;
}
