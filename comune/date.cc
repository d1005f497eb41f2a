#include "comune/date.h"

#include <ctime>

namespace vendrix {

namespace {

using namespace std::chrono;

bool Cifra(char c) { return c >= '0' && c <= '9'; }

bool SoloCifre(std::string_view testo) {
  for (char c : testo) {
    if (!Cifra(c)) return false;
  }
  return !testo.empty();
}

// One or two digits, written with two.
std::string DueCifre(std::string_view parte) {
  return parte.size() == 1 ? "0" + std::string(parte) : std::string(parte);
}

int Numero(std::string_view cifre) {
  int n = 0;
  for (char c : cifre) n = n * 10 + (c - '0');
  return n;
}

std::optional<Giorno> GiornoReale(int anno, int mese, int giorno, int primo_anno) {
  if (anno < primo_anno || anno > 9999) return std::nullopt;
  const year_month_day data{year{anno}, month{static_cast<unsigned>(mese)},
                            day{static_cast<unsigned>(giorno)}};
  if (!data.ok()) return std::nullopt;
  return sys_days{data};
}

// A year of two digits is 2000-2049 for 00-49 and 1950-1999 for 50-99; four digits stay as
// they are.
std::string AnnoQuattroCifre(std::string_view anno) {
  if (anno.size() != 2) return std::string(anno);
  return (Numero(anno) < 50 ? "20" : "19") + std::string(anno);
}

void Scrivi(char* destinazione, unsigned valore, int cifre) {
  for (int i = cifre - 1; i >= 0; --i, valore /= 10) {
    destinazione[i] = static_cast<char>('0' + valore % 10);
  }
}

}  // namespace

std::string PulisciData(std::string_view testo) {
  std::string pulito;
  for (char c : testo) {
    if (c == '\'') continue;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    pulito.push_back(c);
  }
  const size_t inizio = pulito.find_first_not_of(" \t");
  if (inizio == std::string::npos) return {};
  pulito = pulito.substr(inizio, pulito.find_last_not_of(" \t") - inizio + 1);

  if (pulito.size() == 6 && SoloCifre(pulito)) {
    return pulito.substr(0, 2) + "/" + pulito.substr(2, 2) + "/" +
           AnnoQuattroCifre(pulito.substr(4, 2));
  }
  if (pulito.size() == 8 && SoloCifre(pulito)) {
    return pulito.substr(0, 2) + "/" + pulito.substr(2, 2) + "/" + pulito.substr(4, 4);
  }
  // D/M/YYYY and its kin: day and month of one or two digits, a year of four digits or of two
  // (by the rule of DDMMYY), the same separator twice.
  const std::string_view v(pulito);
  const size_t primo = v.find_first_of("/.-");
  if (primo != std::string_view::npos) {
    const size_t secondo = v.find(v[primo], primo + 1);
    if (secondo != std::string_view::npos) {
      const std::string_view giorno = v.substr(0, primo);
      const std::string_view mese = v.substr(primo + 1, secondo - primo - 1);
      const std::string_view anno = v.substr(secondo + 1);
      if (giorno.size() >= 1 && giorno.size() <= 2 && SoloCifre(giorno) && mese.size() >= 1 &&
          mese.size() <= 2 && SoloCifre(mese) && (anno.size() == 4 || anno.size() == 2) &&
          SoloCifre(anno)) {
        return DueCifre(giorno) + "/" + DueCifre(mese) + "/" + AnnoQuattroCifre(anno);
      }
    }
  }
  return pulito;
}

std::optional<Giorno> LeggiData(std::string_view testo) {
  for (char c : testo) {
    if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
  }
  const std::string data = PulisciData(testo);
  if (data.size() != 10 || data[2] != '/' || data[5] != '/') return std::nullopt;
  const std::string_view v(data);
  if (!SoloCifre(v.substr(0, 2)) || !SoloCifre(v.substr(3, 2)) || !SoloCifre(v.substr(6, 4))) {
    return std::nullopt;
  }
  return GiornoReale(Numero(v.substr(6, 4)), Numero(v.substr(3, 2)), Numero(v.substr(0, 2)), 1900);
}

std::string OraLocale(const char* formato) {
  const std::time_t adesso = std::time(nullptr);
  std::tm ora{};
  localtime_r(&adesso, &ora);
  char testo[64];
  if (std::strftime(testo, sizeof testo, formato, &ora) == 0) return {};
  return testo;
}

std::string TestoData(Giorno giorno) {
  const year_month_day data{giorno};
  std::string testo = "00/00/0000";
  Scrivi(&testo[0], static_cast<unsigned>(data.day()), 2);
  Scrivi(&testo[3], static_cast<unsigned>(data.month()), 2);
  Scrivi(&testo[6], static_cast<unsigned>(static_cast<int>(data.year())), 4);
  return testo;
}

std::string ChiaveData(Giorno giorno) {
  // Built by hand: this runs for every row a calculation writes.
  const year_month_day data{giorno};
  std::string chiave(8, '0');
  Scrivi(&chiave[0], static_cast<unsigned>(static_cast<int>(data.year())), 4);
  Scrivi(&chiave[4], static_cast<unsigned>(data.month()), 2);
  Scrivi(&chiave[6], static_cast<unsigned>(data.day()), 2);
  return chiave;
}

std::optional<Giorno> GiornoDaChiave(std::string_view chiave) {
  if (chiave.size() != 8 || !SoloCifre(chiave)) return std::nullopt;
  return GiornoReale(Numero(chiave.substr(0, 4)), Numero(chiave.substr(4, 2)),
                     Numero(chiave.substr(6, 2)), 1);
}

std::string MessaggioDataNonValida(std::string_view testo) {
  return "La data \"" + std::string(testo) +
         "\" non è valida: scriverla come GG/MM/AAAA (oppure GGMMAA o GGMMAAAA), con un giorno "
         "vero dal 1900 in poi.";
}

std::string MessaggioPeriodoInvertito(Giorno dal, Giorno al) {
  return "La data iniziale " + TestoData(dal) + " viene dopo la data finale " + TestoData(al) +
         ": correggere il periodo.";
}

std::optional<std::string> RifiutoPeriodo(Giorno dal, Giorno al) {
  using namespace std::chrono;
  if (dal > al) return MessaggioPeriodoInvertito(dal, al);
  const Giorno primo(kPrimoGiornoPeriodo), ultimo(kUltimoGiornoPeriodo);
  for (const Giorno giorno : {dal, al}) {
    if (giorno < primo || giorno > ultimo) {
      return "La data " + TestoData(giorno) + " è fuori dalle date ammesse: un periodo va dal " +
             TestoData(primo) + " al " + TestoData(ultimo) + ". Correggere il periodo.";
    }
  }
  year_month_day oltre = year_month_day(dal) + years(kMassimoAnniPeriodo);
  if (!oltre.ok()) oltre = oltre.year() / oltre.month() / last;
  if (al >= Giorno(oltre)) {
    return "Periodo troppo lungo: dal " + TestoData(dal) + " al " + TestoData(al) +
           " sono più di " + std::to_string(kMassimoAnniPeriodo) +
           " anni. Scegliere un periodo di al massimo " + std::to_string(kMassimoAnniPeriodo) +
           " anni.";
  }
  return std::nullopt;
}

Giorno UnAnnoPrima(Giorno giorno) {
  const std::chrono::year_month_day data(giorno);
  std::chrono::year_month_day prima = data - std::chrono::years(1);
  if (!prima.ok()) prima = prima.year() / prima.month() / std::chrono::last;
  return Giorno(prima);
}

Giorno IeriLocale() { return *GiornoDaChiave(OraLocale("%Y%m%d")) - std::chrono::days{1}; }

}  // namespace vendrix
