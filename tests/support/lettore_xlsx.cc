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
  // "xl/worksheets/" + "../drawings/d.xml" -> "xl/drawings/d.xml"
  std::vector<std::string> parti;
  const std::string percorso = base + destinazione;
  size_t inizio = 0;
  while (inizio <= percorso.size()) {
    size_t barra = percorso.find('/', inizio);
    if (barra == std::string::npos) barra = percorso.size();
    const std::string parte = percorso.substr(inizio, barra - inizio);
    if (parte == "..") {
      if (!parti.empty()) parti.pop_back();
    } else if (!parte.empty() && parte != ".") {
      parti.push_back(parte);
    }
    inizio = barra + 1;
  }
  std::string esito;
  for (const std::string& p : parti) esito += (esito.empty() ? "" : "/") + p;
  return esito;
}

std::string TestoTitolo(const pugi::xml_node& titolo) {
  std::string testo;
  for (pugi::xpath_node t : titolo.select_nodes(".//a:t")) testo += t.node().text().get();
  return testo;
}

// The charts a sheet's drawing places, with their series and axes.
void LeggiGrafici(const ArchivioZip& zip, const std::string& parte_foglio, const pugi::xml_node& ws,
                  FoglioLetto& foglio) {
  pugi::xml_node disegno = ws.child("drawing");
  if (!disegno) return;
  const std::string base = Cartella(parte_foglio);
  auto destinazioni = [&](const std::string& parte) {
    std::map<std::string, std::string> esito;
    const std::string nome =
        Cartella(parte) + "_rels/" + parte.substr(Cartella(parte).size()) + ".rels";
    pugi::xml_document rels = zip.Xml(nome);
    for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
      esito[r.attribute("Id").value()] = Risolvi(Cartella(parte), r.attribute("Target").value());
    }
    return esito;
  };
  const std::string parte_disegno = destinazioni(parte_foglio)[disegno.attribute("r:id").value()];
  auto grafici = destinazioni(parte_disegno);
  pugi::xml_document xml_disegno = zip.Xml(parte_disegno);
  for (pugi::xml_node ancora : xml_disegno.first_child().children()) {
    pugi::xpath_node chart = ancora.select_node(".//c:chart");
    if (!chart) continue;
    GraficoLetto g;
    g.riga = ancora.child("xdr:from").child("xdr:row").text().as_int() + 1;
    g.colonna = ancora.child("xdr:from").child("xdr:col").text().as_int() + 1;
    pugi::xml_document xml = zip.Xml(grafici[chart.node().attribute("r:id").value()]);
    pugi::xml_node grafico = xml.child("c:chartSpace").child("c:chart");
    g.titolo = TestoTitolo(grafico.child("c:title"));
    pugi::xml_node area = grafico.child("c:plotArea");
    std::map<std::string, std::string> posizione_asse;  // axis id -> axPos
    for (pugi::xml_node asse : area.children()) {
      const std::string nome = asse.name();
      if (nome == "c:valAx" || nome == "c:catAx" || nome == "c:dateAx") {
        posizione_asse[asse.child("c:axId").attribute("val").value()] =
            asse.child("c:axPos").attribute("val").value();
        if (asse.child("c:title")) g.titoli_assi.push_back(TestoTitolo(asse.child("c:title")));
        AsseLetto a;
        a.tipo = nome.substr(2);
        a.posizione = asse.child("c:axPos").attribute("val").value();
        a.direzione =
            asse.child("c:scaling").child("c:orientation").attribute("val").as_string("minMax");
        if (pugi::xml_node minimo = asse.child("c:scaling").child("c:min")) {
          a.minimo = minimo.attribute("val").as_double();
        }
        a.formato = asse.child("c:numFmt").attribute("formatCode").value();
        a.eliminato = asse.child("c:delete").attribute("val").as_bool();
        a.unita_base = asse.child("c:baseTimeUnit").attribute("val").value();
        a.unita_principale = asse.child("c:majorTimeUnit").attribute("val").value();
        a.passo = asse.child("c:majorUnit").attribute("val").as_double();
        g.assi.push_back(a);
      }
    }
    for (pugi::xml_node gruppo : area.children()) {
      std::string nome = gruppo.name();
      if (nome.size() < 7 || nome.substr(nome.size() - 5) != "Chart") continue;
      if (g.direzione.empty()) g.direzione = gruppo.child("c:barDir").attribute("val").value();
      if (g.raggruppamento.empty()) {
        g.raggruppamento = gruppo.child("c:grouping").attribute("val").value();
      }
      bool destra = false;
      for (pugi::xml_node id : gruppo.children("c:axId")) {
        destra = destra || posizione_asse[id.attribute("val").value()] == "r";
      }
      for (pugi::xml_node ser : gruppo.children("c:ser")) {
        SerieLetta s;
        s.nome = ser.child("c:tx").child("c:v").text().get();
        s.categorie = ser.select_node("c:cat//c:f").node().text().get();
        s.valori = ser.select_node("c:val//c:f").node().text().get();
        s.gruppo = nome.substr(2);
        s.asse_secondario = destra;
        s.liscia = nome == "c:lineChart" && ser.child("c:smooth").attribute("val").as_bool(true);
        g.serie.push_back(s);
      }
    }
    foglio.grafici.push_back(std::move(g));
  }
}

// The comments of a sheet, from the comments part its relationships name.
void LeggiNote(const ArchivioZip& zip, const std::string& parte_foglio, FoglioLetto& foglio) {
  const std::string base = Cartella(parte_foglio);
  const std::string nome_rels = base + "_rels/" + parte_foglio.substr(base.size()) + ".rels";
  if (!zip.Contiene(nome_rels)) return;
  pugi::xml_document rels = zip.Xml(nome_rels);
  for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
    const std::string tipo = r.attribute("Type").value();
    if (tipo.size() < 9 || tipo.substr(tipo.size() - 9) != "/comments") continue;
    pugi::xml_document note = zip.Xml(Risolvi(base, r.attribute("Target").value()));
    for (pugi::xml_node c : note.child("comments").child("commentList").children("comment")) {
      foglio.note[Indirizzo(c.attribute("ref").value())] = TestoRicco(c.child("text"));
    }
  }
}

}  // namespace

const FoglioLetto& CartellaLetta::Foglio(const std::string& nome) const {
  for (const FoglioLetto& f : fogli) {
    if (f.nome == nome) return f;
  }
  throw std::runtime_error("manca il foglio " + nome);
}

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

  // Cell style index -> number format code, bold.
  std::vector<std::string> formati_stile;
  std::vector<bool> grassetto_stile;
  if (!parte_stili.empty()) {
    pugi::xml_document stili = zip.Xml(parte_stili);
    pugi::xml_node foglio_stili = stili.child("styleSheet");
    std::map<int, std::string> personali;
    for (pugi::xml_node f : foglio_stili.child("numFmts").children("numFmt")) {
      personali[f.attribute("numFmtId").as_int()] = f.attribute("formatCode").value();
    }
    std::vector<bool> font_grassetto;
    for (pugi::xml_node font : foglio_stili.child("fonts").children("font")) {
      font_grassetto.push_back(static_cast<bool>(font.child("b")));
    }
    for (pugi::xml_node xf : foglio_stili.child("cellXfs").children("xf")) {
      size_t font = xf.attribute("fontId").as_uint(0);
      grassetto_stile.push_back(font < font_grassetto.size() && font_grassetto[font]);
      int id = xf.attribute("numFmtId").as_int();
      auto it = personali.find(id);
      formati_stile.push_back(it != personali.end() ? it->second : FormatoPredefinito(id));
    }
  }

  CartellaLetta esito;
  if (zip.Contiene("docProps/core.xml")) {
    const pugi::xml_document documento = zip.Xml("docProps/core.xml");
    const pugi::xml_node core = documento.first_child();
    esito.titolo = core.child("dc:title").text().get();
    esito.soggetto = core.child("dc:subject").text().get();
  }
  if (zip.Contiene("docProps/app.xml")) {
    esito.applicazione =
        zip.Xml("docProps/app.xml").first_child().child("Application").text().get();
  }
  std::map<int, std::string> titoli_stampa;  // by sheet index
  for (pugi::xml_node n : cartella.child("workbook").child("definedNames").children()) {
    if (std::string(n.attribute("name").value()) == "_xlnm.Print_Titles") {
      std::string testo = n.text().get();
      titoli_stampa[n.attribute("localSheetId").as_int()] = testo.substr(testo.rfind('!') + 1);
    }
  }
  esito.foglio_attivo = cartella.child("workbook")
                            .child("bookViews")
                            .child("workbookView")
                            .attribute("activeTab")
                            .as_int(0) +
                        1;
  for (pugi::xml_node s : cartella.child("workbook").child("sheets").children("sheet")) {
    FoglioLetto foglio;
    foglio.nome = s.attribute("name").value();
    auto dest = destinazioni.find(s.attribute("r:id").value());
    if (dest == destinazioni.end()) Fallito(percorso, "foglio senza parte: " + foglio.nome);
    pugi::xml_document xml = zip.Xml(dest->second);
    pugi::xml_node ws = xml.child("worksheet");
    pugi::xml_node pane = ws.child("sheetViews").child("sheetView").child("pane");
    if (std::string(pane.attribute("state").value()) == "frozen") {
      foglio.riquadro = pane.attribute("topLeftCell").value();
    }
    foglio.filtro = ws.child("autoFilter").attribute("ref").value();
    pugi::xml_node pagina = ws.child("pageSetup");
    foglio.orizzontale = std::string(pagina.attribute("orientation").value()) == "landscape";
    if (ws.child("sheetPr").child("pageSetUpPr").attribute("fitToPage").as_bool()) {
      foglio.pagine_in_larghezza = pagina.attribute("fitToWidth").as_int(1);
    }
    foglio.righe_stampa = titoli_stampa[static_cast<int>(esito.fogli.size())];
    foglio.intestazione = ws.child("headerFooter").child("oddHeader").text().get();
    foglio.pie_di_pagina = ws.child("headerFooter").child("oddFooter").text().get();
    foglio.selezionato =
        ws.child("sheetViews").child("sheetView").attribute("tabSelected").as_bool();
    LeggiGrafici(zip, dest->second, ws, foglio);
    LeggiNote(zip, dest->second, foglio);

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
        cella.grassetto = stile < grassetto_stile.size() && grassetto_stile[stile];
        cella.formula = c.child("f").text().get();
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
