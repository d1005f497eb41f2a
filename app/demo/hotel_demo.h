#ifndef VENDRIX_APP_DEMO_HOTEL_DEMO_H_
#define VENDRIX_APP_DEMO_HOTEL_DEMO_H_

// Writing hotel files: the empty tables of the hotel suite, rows put in by hand (tests), and a
// whole realistic sample hotel (vendrix-demo, tests, benchmarks).

#include <cstdint>
#include <string>
#include <vector>

#include "data/valore.h"

namespace vendrix::demo {

// Creates in `cartella` every hotel file with its empty table, replacing files already there:
// the live files and the three history files, with the fields the program reads (and their
// types as the suite keeps them).
void CreaFileHotel(const std::string& cartella);

// Appends rows to table `tabella` of the database file `file` in one transaction: `campi` names
// the fields, each row gives their values in that order. Throws Errore on failure.
void InserisciRighe(const std::string& file, const std::string& tabella,
                    const std::vector<std::string>& campi,
                    const std::vector<std::vector<Valore>>& righe);

struct OpzioniDemo {
  int camere = 30;  // rooms of the hotel
  int giorni = 60;  // days of live data from `dal` (history lies before it)
  std::string dal = "01/01/2024";
  int giorni_storico = 60;    // days of archived guest cards before `dal`
  uint32_t seme = 1;          // same seed, same hotel
  double occupazione = 0.75;  // share of room nights sold
  // The hotel as it stood on the morning of this day ("DD/MM/YYYY"); empty: the classic sample,
  // cards for the first half of the live days and bookings for the second.
  std::string al_giorno;
};

struct RiepilogoDemo {
  int64_t tipi_camere = 0, camere = 0;
  int64_t prenotazioni = 0, righe_camere = 0;
  int64_t schede_clienti = 0, schede_storico = 0;
  int64_t ditte = 0, addebiti = 0, addebiti_storico = 0;
  int64_t ditte_storico = 0;
  // Rooms of bedroom types (Tipologia 'C'), and the room nights sold on the days from `dal`
  // (bookings other than cancelled ones, and rooms of guest cards).
  int64_t camere_letto = 0, notti_vendute = 0;
};

// The reason why `opzioni` cannot give a hotel, in words for the user; empty when they can.
std::string ControllaOpzioni(const OpzioniDemo& opzioni);

// Writes a whole sample hotel into `cartella` (created when missing): every hotel file, the three
// history files and a VendrixFiltro.txt. Deterministic for a seed. Throws Errore when the options
// are not valid (ControllaOpzioni) or a file cannot be written.
//
// Guests who arrived before the middle of the live days have guest cards (still in the house or
// departed); the stays arriving later are bookings. Cards that left by `dal` are archived in the
// history files, numbered as the archive numbers them: live number + (arrival year % 100) *
// 1000000, while the head-of-family and head-of-group codes keep the live number of the head.
//
// With `al_giorno` D the same hotel is seen as it stood on the morning of D, and successive days
// tell one consistent story: each party is booked some days before it arrives (from the day
// itself to about four months), an optional booking is confirmed half way to the arrival, some
// bookings that never arrive are on the books for a while and then cancelled or dropped
// (kept as type "X"); a party that arrived before D has guest cards (still in the house, or
// departed), archived once a week has passed since it left (and never after `dal`). The parties,
// their rooms, dates, guests and agencies are the same whatever D.
RiepilogoDemo ScriviHotelDemo(const std::string& cartella, const OpzioniDemo& opzioni);

}  // namespace vendrix::demo

#endif  // VENDRIX_APP_DEMO_HOTEL_DEMO_H_
