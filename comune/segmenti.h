#ifndef VENDRIX_COMUNE_SEGMENTI_H_
#define VENDRIX_COMUNE_SEGMENTI_H_

// The market segments a manager reads the sales by, kept by hand in VendrixSegmenti.txt in the
// hotel folder: one line "text<TAB>segment" each. An agency belongs to the segment of the first
// line whose text occurs anywhere in its name (exactly, as the agency filter matches); a stay
// without an agency is "Diretto", an agency no line matches "Altre agenzie". Without the file
// there are two segments, "Diretto" and "Agenzie".

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

inline constexpr char kFileSegmenti[] = "VendrixSegmenti.txt";
inline constexpr char kSegmentoDiretto[] = "Diretto";
inline constexpr char kSegmentoAltreAgenzie[] = "Altre agenzie";
inline constexpr char kSegmentoAgenzie[] = "Agenzie";

class Segmenti {
 public:
  // The rule without a file: "Diretto" and "Agenzie".
  Segmenti() = default;

  // Reads `cartella_hotel` / VendrixSegmenti.txt with the encodings of every hand-kept file
  // (LeggiFileTesto). Blank lines, and lines without a tab or with an empty text or segment
  // (blanks around both are dropped), are left out. A missing file gives the rule without a
  // file; a file that is there but cannot be read gives it too, with errore() saying why.
  static Segmenti Leggi(const std::filesystem::path& cartella_hotel);

  // The segment of a stay by its agency as the statistics store holds it: nullopt (Null), an
  // empty text or one of blanks only is no agency.
  const std::string& Di(const std::optional<std::string_view>& agenzia) const;

  // Every segment the rule can give, in the order a report lists them: "Diretto", then the
  // file's segments in the order they first appear, then "Altre agenzie" (without a file:
  // "Diretto", "Agenzie").
  const std::vector<std::string>& Elenco() const { return elenco_; }

  const std::optional<std::string>& errore() const { return errore_; }

 private:
  struct Regola {
    std::string testo, segmento;
  };
  std::vector<Regola> regole_;
  std::vector<std::string> elenco_{kSegmentoDiretto, kSegmentoAgenzie};
  std::string diretto_ = kSegmentoDiretto;
  std::string altre_ = kSegmentoAgenzie;
  std::optional<std::string> errore_;
};

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_SEGMENTI_H_
