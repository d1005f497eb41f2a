#include "tests/support/lettore_xlsx.h"

#include <zip.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <pugixml.hpp>
#include <stdexcept>

namespace vendrix::prova {

namespace {

[[noreturn]] void Fallito(const std::string& percorso, const std::string& motivo) {
  throw std::runtime_error("xlsx '" + percorso + "': " + motivo);
}

class ArchivioZip {
 public:
  explicit ArchivioZip(const std::string& percorso) : percorso_(percorso) {
    int errore = 0;
    zip_ = zip_open(percorso.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &errore);
    if (zip_ == nullptr)
      Fallito(percorso, "non è un archivio zip (" + std::to_string(errore) + ")");
  }
  ~ArchivioZip() {
    if (zip_ != nullptr) zip_discard(zip_);
  }
  ArchivioZip(const ArchivioZip&) = delete;
  ArchivioZip& operator=(const ArchivioZip&) = delete;

  bool Contiene(const std::string& nome) const {
    return zip_name_locate(zip_, nome.c_str(), 0) >= 0;
  }

  std::string Leggi(const std::string& nome) const {
    zip_stat_t stat;
    if (zip_stat(zip_, nome.c_str(), 0, &stat) != 0) Fallito(percorso_, "manca la parte " + nome);
    zip_file_t* f = zip_fopen(zip_, nome.c_str(), 0);
    if (f == nullptr) Fallito(percorso_, "parte illeggibile " + nome);
    std::string dati(stat.size, '\0');
    zip_int64_t letti = zip_fread(f, dati.data(), stat.size);
    zip_fclose(f);
    if (letti < 0 || static_cast<zip_uint64_t>(letti) != stat.size) {
      Fallito(percorso_, "parte troncata " + nome);
    }
    return dati;
  }

  pugi::xml_document Xml(const std::string& nome) const {
    std::string dati = Leggi(nome);
    pugi::xml_document doc;
    // A text of blanks only is a value (" "): keep it.
    pugi::xml_parse_result esito = doc.load_buffer(
        dati.data(), dati.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
    if (!esito) Fallito(percorso_, "XML non valido in " + nome + ": " + esito.description());
    return doc;
  }

 private:
  std::string percorso_;
  zip_t* zip_ = nullptr;
};

// Built-in number formats that a file names by id only.
std::string FormatoPredefinito(int id) {
  static const std::map<int, std::string> kFormati = {
      {0, "General"},   {1, "0"},      {2, "0.00"},      {3, "#,##0"},  {4, "#,##0.00"},
      {9, "0%"},        {10, "0.00%"}, {11, "0.00E+00"}, {12, "# ?/?"}, {13, "# \?\?/\?\?"},
      {14, "mm-dd-yy"}, {49, "@"}};
  auto it = kFormati.find(id);
  return it == kFormati.end() ? "id " + std::to_string(id) : it->second;
}

// A1 reference to (row, column).
std::pair<int, int> Indirizzo(const std::string& ref) {
  int colonna = 0;
  size_t i = 0;
  while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z')
    colonna = colonna * 26 + (ref[i++] - 'A' + 1);
  int riga = std::atoi(ref.c_str() + i);
  if (colonna == 0 || riga == 0)
    throw std::runtime_error("riferimento di cella non valido: " + ref);
  return {riga, colonna};
}

std::string TestoRicco(const pugi::xml_node& si) {
  // A shared or inline string: plain <t>, or runs <r><t>.
  if (pugi::xml_node t = si.child("t")) return t.text().get();
  std::string testo;
  for (pugi::xml_node r : si.children("r")) testo += r.child("t").text().get();
  return testo;
}

// Folder part of a part name: "xl/workbook.xml" -> "xl/".
std::string Cartella(const std::string& parte) {
  size_t barra = parte.rfind('/');
  return barra == std::string::npos ? "" : parte.substr(0, barra + 1);
}

std::string Risolvi(const std::string& base, const std::string& destinazione) {
  if (!destinazione.empty() && destinazione[0] == '/') return destinazione.substr(1);
  return base + destinazione;
}

}  // namespace

CellaLetta FoglioLetto::Cella(int riga, int colonna) const {
  auto it = celle.find({riga, colonna});
  if (it != celle.end()) return it->second;
  CellaLetta vuota;
  vuota.formato = "General";
  return vuota;
}

CellaLetta FoglioLetto::Cella(const std::string& indirizzo) const {
  auto [r, c] = Indirizzo(indirizzo);
  return Cella(r, c);
}

int FoglioLetto::UltimaRigaConValori() const {
  int ultima = 0;
  for (const auto& [pos, cella] : celle) {
    if (cella.tipo != CellaLetta::Tipo::kVuota && pos.first > ultima) ultima = pos.first;
  }
  return ultima;
}

std::optional<double> FoglioLetto::Altezza(int riga) const {
  auto it = altezze.find(riga);
  if (it == altezze.end()) return std::nullopt;
  return it->second;
}

std::optional<double> FoglioLetto::Larghezza(int colonna) const {
  auto it = larghezze.find(colonna);
  if (it == larghezze.end()) return std::nullopt;
  return it->second;
}

bool EFileZip(const std::string& percorso) {
  std::ifstream f(percorso, std::ios::binary);
  char firma[4] = {};
  f.read(firma, 4);
  return f.gcount() == 4 && firma[0] == 'P' && firma[1] == 'K' && firma[2] == 3 && firma[3] == 4;
}

CartellaLetta LeggiXlsx(const std::string& percorso) {
  ArchivioZip zip(percorso);

  // The workbook part, from the package relationships.
  std::string parte_cartella = "xl/workbook.xml";
  {
    pugi::xml_document rels = zip.Xml("_rels/.rels");
    for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
      std::string tipo = r.attribute("Type").value();
      if (tipo.size() >= 14 && tipo.substr(tipo.size() - 14) == "officeDocument") {
        parte_cartella = Risolvi("", r.attribute("Target").value());
      }
    }
  }
  const std::string base = Cartella(parte_cartella);
  pugi::xml_document cartella = zip.Xml(parte_cartella);
  std::string nome_rels = base + "_rels/" + parte_cartella.substr(base.size()) + ".rels";
  pugi::xml_document rels = zip.Xml(nome_rels);
  std::map<std::string, std::string> destinazioni;
  std::string parte_stringhe, parte_stili;
  for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
    std::string tipo = r.attribute("Type").value();
    std::string dest = Risolvi(base, r.attribute("Target").value());
    destinazioni[r.attribute("Id").value()] = dest;
    if (tipo.find("/sharedStrings") != std::string::npos) parte_stringhe = dest;
    if (tipo.find("/styles") != std::string::npos) parte_stili = dest;
  }

  std::vector<std::string> stringhe;
  if (!parte_stringhe.empty()) {
    pugi::xml_document sst = zip.Xml(parte_stringhe);
    for (pugi::xml_node si : sst.child("sst").children("si")) stringhe.push_back(TestoRicco(si));
  }

  // Cell style index -> number format code.
  std::vector<std::string> formati_stile;
  if (!parte_stili.empty()) {
    pugi::xml_document stili = zip.Xml(parte_stili);
    pugi::xml_node foglio_stili = stili.child("styleSheet");
    std::map<int, std::string> personali;
    for (pugi::xml_node f : foglio_stili.child("numFmts").children("numFmt")) {
      personali[f.attribute("numFmtId").as_int()] = f.attribute("formatCode").value();
    }
    for (pugi::xml_node xf : foglio_stili.child("cellXfs").children("xf")) {
      int id = xf.attribute("numFmtId").as_int();
      auto it = personali.find(id);
      formati_stile.push_back(it != personali.end() ? it->second : FormatoPredefinito(id));
    }
  }

  CartellaLetta esito;
  for (pugi::xml_node s : cartella.child("workbook").child("sheets").children("sheet")) {
    FoglioLetto foglio;
    foglio.nome = s.attribute("name").value();
    auto dest = destinazioni.find(s.attribute("r:id").value());
    if (dest == destinazioni.end()) Fallito(percorso, "foglio senza parte: " + foglio.nome);
    pugi::xml_document xml = zip.Xml(dest->second);
    pugi::xml_node ws = xml.child("worksheet");

    for (pugi::xml_node col : ws.child("cols").children("col")) {
      if (!col.attribute("width")) continue;
      // The file keeps the width with the cell padding of the default font (5 pixels at 7
      // pixels per character); back to characters as the application shows them.
      double larghezza = col.attribute("width").as_double();
      double caratteri = (std::round(larghezza * 7) - 5) / 7;
      for (int c = col.attribute("min").as_int(); c <= col.attribute("max").as_int(); ++c) {
        foglio.larghezze[c] = caratteri;
      }
    }
    for (pugi::xml_node riga : ws.child("sheetData").children("row")) {
      if (riga.attribute("customHeight").as_bool() && riga.attribute("ht")) {
        foglio.altezze[riga.attribute("r").as_int()] = riga.attribute("ht").as_double();
      }
      for (pugi::xml_node c : riga.children("c")) {
        CellaLetta cella;
        size_t stile = c.attribute("s").as_uint(0);
        cella.formato = stile < formati_stile.size() ? formati_stile[stile] : "General";
        std::string tipo = c.attribute("t").value();
        pugi::xml_node v = c.child("v");
        if (tipo == "inlineStr") {
          cella.tipo = CellaLetta::Tipo::kTesto;
          cella.testo = cella.grezzo = TestoRicco(c.child("is"));
        } else if (!v) {
          cella.tipo = CellaLetta::Tipo::kVuota;
        } else {
          cella.grezzo = v.text().get();
          if (tipo == "s") {
            size_t i = std::stoul(cella.grezzo);
            if (i >= stringhe.size()) Fallito(percorso, "indice di stringa fuori elenco");
            cella.tipo = CellaLetta::Tipo::kTesto;
            cella.testo = stringhe[i];
          } else if (tipo == "str") {
            cella.tipo = CellaLetta::Tipo::kTesto;
            cella.testo = cella.grezzo;
          } else if (tipo == "b") {
            cella.tipo = CellaLetta::Tipo::kBooleano;
            cella.numero = std::atof(cella.grezzo.c_str());
          } else if (tipo == "e") {
            cella.tipo = CellaLetta::Tipo::kErrore;
          } else {
            cella.tipo = CellaLetta::Tipo::kNumero;
            char* fine = nullptr;
            cella.numero = std::strtod(cella.grezzo.c_str(), &fine);
            if (fine == cella.grezzo.c_str() || *fine != '\0') {
              Fallito(percorso, "numero non valido: " + cella.grezzo);
            }
          }
        }
        foglio.celle[Indirizzo(c.attribute("r").value())] = cella;
      }
    }
    esito.fogli.push_back(std::move(foglio));
  }
  return esito;
}

}  // namespace vendrix::prova
