#ifndef VENDRIX_DATA_PORTAFOGLIO_H_
#define VENDRIX_DATA_PORTAFOGLIO_H_

// The books of a hotel as a manager reads them: for each night, room type and segment, what was
// actually sold (nights up to a reference day) and what is on the books after it, the confirmed
// stays apart from the optional bookings. Worked out by CalcolaPortafoglio (calc/portafoglio.h),
// read by the manager's report and by whoever keeps copies of the books.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "comune/date.h"
#include "data/valore.h"

namespace vendrix {

// What a night is counted as.
enum class StatoNotte {
  kEffettiva,   // up to the reference day: in-house guests and the guest history
  kConfermata,  // after it: confirmed bookings, and the guests in the house until they leave
  kOpzionale,   // after it: optional bookings ("O")
};

// The sums of the statistics rows of one group, Null amounts counted as 0.
struct CifreNotte {
  int64_t camere = 0;                                // TotCamOcc: rooms sold
  int64_t ospiti = 0;                                // TotPax
  Valuta retta, extra, ro, bb, hb, fb, supplementi;  // TotRetta (extras included), Extra, ...

  CifreNotte& operator+=(const CifreNotte& altre);
  friend bool operator==(const CifreNotte&, const CifreNotte&) = default;
};

struct RigaPortafoglio {
  Giorno notte;
  StatoNotte stato = StatoNotte::kEffettiva;
  std::string tipo_camera;  // TipoCamera as stored (" " for a room of no known type)
  std::string segmento;     // Segmenti::Di of the stored agency
  CifreNotte cifre;
};

// A guest card that carries a room (NumeroComponente 1) among the actual stays: its first night
// is `arrivo`, its last the night before `partenza`, as the calculation walks it.
struct SoggiornoCamera {
  Giorno arrivo, partenza;
  friend bool operator==(const SoggiornoCamera&, const SoggiornoCamera&) = default;
};

struct Portafoglio {
  Giorno dal, al;            // the nights worked out, both included
  Giorno riferimento;        // the last night counted as actual
  std::string calcolato_il;  // local time the hotel files were read, "DD/MM/YYYY HH:MM"
  // One row per night, stato, room type and segment that has any statistics row, ordered by
  // night, stato, room type, segment.
  std::vector<RigaPortafoglio> righe;
  // Cards carrying a room with at least one night in dal..al, in no particular order.
  std::vector<SoggiornoCamera> soggiorni;
  // The room types counted (Tipologia 'C' of TipiCamere) and their Quantita.
  std::vector<std::pair<std::string, int64_t>> tipi_camere;
  // What could not be worked out, in words for the user: each part that failed (its figures are
  // then missing, the others stand).
  std::vector<std::string> mancanze;

  int64_t CamereTotali() const;
};

}  // namespace vendrix

#endif  // VENDRIX_DATA_PORTAFOGLIO_H_
