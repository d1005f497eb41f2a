#include "reports/ritocco_xlsx.h"

#include <zip.h>

#include <cstdlib>
#include <memory>

#include "data/errore.h"

namespace vendrix::excel {

namespace {

// Axis ids of the secondary axes: any two numbers the primary axes do not use.
constexpr const char* kAsseCategorieSecondario = "91000001";
constexpr const char* kAsseValoriSecondario = "91000002";

std::string Xml(const std::string& testo) {
  std::string esito;
  for (char c : testo) {
    switch (c) {
      case '&':
        esito += "&amp;";
        break;
      case '<':
        esito += "&lt;";
        break;
      case '>':
        esito += "&gt;";
        break;
      case '"':
        esito += "&quot;";
        break;
      default:
        esito += c;
    }
  }
  return esito;
}

std::string TitoloAsse(const std::string& titolo) {
  return "<c:title><c:tx><c:rich><a:bodyPr rot=\"-5400000\" vert=\"horz\"/><a:lstStyle/><a:p>"
         "<a:pPr><a:defRPr/></a:pPr><a:r><a:rPr lang=\"it-IT\"/><a:t>" +
         Xml(titolo) + "</a:t></a:r></a:p></c:rich></c:tx><c:overlay val=\"0\"/></c:title>";
}

class Zip {
 public:
  Zip(const std::string& file, const std::string& percorso) : percorso_(percorso) {
    int errore = 0;
    zip_ = zip_open(file.c_str(), 0, &errore);
    if (zip_ == nullptr) Fallito("archivio non leggibile (" + std::to_string(errore) + ")");
  }
  ~Zip() {
    if (zip_ != nullptr) zip_discard(zip_);
  }
  Zip(const Zip&) = delete;
  Zip& operator=(const Zip&) = delete;

  std::string Leggi(const std::string& nome) {
    zip_stat_t stat;
    if (zip_stat(zip_, nome.c_str(), 0, &stat) != 0) Fallito("manca la parte " + nome);
    zip_file_t* f = zip_fopen(zip_, nome.c_str(), 0);
    if (f == nullptr) Fallito("parte illeggibile " + nome);
    std::string dati(stat.size, '\0');
    const zip_int64_t letti = zip_fread(f, dati.data(), stat.size);
    zip_fclose(f);
    if (letti < 0 || static_cast<zip_uint64_t>(letti) != stat.size) Fallito("parte " + nome);
    return dati;
  }

  void Sostituisci(const std::string& nome, std::string dati) {
    dati_.push_back(std::make_unique<std::string>(std::move(dati)));
    zip_source_t* sorgente = zip_source_buffer(zip_, dati_.back()->data(), dati_.back()->size(), 0);
    if (sorgente == nullptr) Fallito("memoria insufficiente");
    if (zip_file_add(zip_, nome.c_str(), sorgente, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(sorgente);
      Fallito(zip_strerror(zip_));
    }
  }

  void Chiudi() {
    if (zip_close(zip_) != 0) Fallito(zip_strerror(zip_));
    zip_ = nullptr;
  }

 private:
  [[noreturn]] void Fallito(const std::string& motivo) {
    throw Errore("Salvataggio della cartella di lavoro '" + percorso_ +
                 "' non riuscito: " + motivo);
  }

  std::string percorso_;
  zip_t* zip_ = nullptr;
  // The buffers stay alive until the archive is closed, which reads them.
  std::vector<std::unique_ptr<std::string>> dati_;
};

}  // namespace

std::string AsseSecondario(const std::string& xml, int secondarie, const std::string& titolo,
                           const std::string& formato, bool da_zero) {
  // The library writes one chart group (<c:lineChart> or <c:barChart>) followed by its two axes.
  const size_t inizio_area = xml.find("<c:plotArea>");
  if (inizio_area == std::string::npos || secondarie <= 0) return xml;
  const size_t inizio_gruppo = xml.find("Chart>", inizio_area);
  const size_t apertura = xml.rfind("<c:", inizio_gruppo);
  if (inizio_gruppo == std::string::npos || apertura == std::string::npos) return xml;
  const std::string nome_gruppo = xml.substr(apertura + 3, inizio_gruppo + 5 - apertura - 3);
  const std::string chiusura = "</c:" + nome_gruppo + ">";
  const size_t fine_gruppo = xml.find(chiusura);
  if (fine_gruppo == std::string::npos) return xml;

  std::vector<std::pair<size_t, size_t>> serie;  // [start, end) of each <c:ser>
  for (size_t p = xml.find("<c:ser>", apertura); p != std::string::npos && p < fine_gruppo;
       p = xml.find("<c:ser>", p + 1)) {
    const size_t fine = xml.find("</c:ser>", p);
    if (fine == std::string::npos || fine > fine_gruppo) return xml;
    serie.push_back({p, fine + 8});
  }
  if (static_cast<int>(serie.size()) <= secondarie) return xml;
  const size_t da = serie[serie.size() - secondarie].first;
  const size_t a = serie.back().second;
  std::string spostate = xml.substr(da, a - da);
  // A series taken from a column chart carries what only bars know.
  for (const std::string barra : {"<c:invertIfNegative val=\"0\"/>"}) {
    for (size_t p = spostate.find(barra); p != std::string::npos; p = spostate.find(barra)) {
      spostate.erase(p, barra.size());
    }
  }

  // Straight lines between the points, as the primary lines are drawn.
  for (size_t p = spostate.find("</c:ser>"); p != std::string::npos;
       p = spostate.find("</c:ser>", p + 30)) {
    spostate.insert(p, "<c:smooth val=\"0\"/>");
  }
  const std::string gruppo = "<c:lineChart><c:grouping val=\"standard\"/>" + spostate +
                             "<c:marker val=\"1\"/><c:axId val=\"" + kAsseCategorieSecondario +
                             "\"/><c:axId val=\"" + kAsseValoriSecondario + "\"/></c:lineChart>";
  const std::string formato_numeri =
      formato.empty() ? "<c:numFmt formatCode=\"General\" sourceLinked=\"1\"/>"
                      : "<c:numFmt formatCode=\"" + Xml(formato) + "\" sourceLinked=\"0\"/>";
  const std::string assi =
      std::string("<c:catAx><c:axId val=\"") + kAsseCategorieSecondario +
      "\"/><c:scaling><c:orientation val=\"minMax\"/></c:scaling><c:delete val=\"1\"/>"
      "<c:axPos val=\"b\"/><c:majorTickMark val=\"out\"/><c:minorTickMark val=\"none\"/>"
      "<c:tickLblPos val=\"nextTo\"/><c:crossAx val=\"" +
      kAsseValoriSecondario +
      "\"/><c:crosses val=\"autoZero\"/><c:auto val=\"1\"/><c:lblAlgn val=\"ctr\"/>"
      "<c:lblOffset val=\"100\"/><c:noMultiLvlLbl val=\"0\"/></c:catAx>"
      "<c:valAx><c:axId val=\"" +
      kAsseValoriSecondario + "\"/><c:scaling><c:orientation val=\"minMax\"/>" +
      (da_zero ? "<c:min val=\"0\"/>" : "") +
      "</c:scaling><c:delete val=\"0\"/><c:axPos val=\"r\"/>" +
      (titolo.empty() ? std::string() : TitoloAsse(titolo)) + formato_numeri +
      "<c:majorTickMark val=\"out\"/><c:minorTickMark val=\"none\"/>"
      "<c:tickLblPos val=\"nextTo\"/><c:crossAx val=\"" +
      kAsseCategorieSecondario + "\"/><c:crosses val=\"max\"/><c:crossBetween val=\"between\"/>"
      "</c:valAx>";

  // The axes go after the last axis of the primary group.
  const size_t fine_area = xml.find("</c:plotArea>", fine_gruppo);
  size_t dopo_assi = xml.rfind("</c:valAx>", fine_area);
  if (fine_area == std::string::npos || dopo_assi == std::string::npos || dopo_assi < fine_gruppo) {
    return xml;
  }
  dopo_assi += std::string("</c:valAx>").size();

  std::string esito;
  esito.reserve(xml.size() + gruppo.size() + assi.size());
  esito.append(xml, 0, da);
  esito.append(xml, a, fine_gruppo + chiusura.size() - a);
  esito += gruppo;
  esito.append(xml, fine_gruppo + chiusura.size(), dopo_assi - fine_gruppo - chiusura.size());
  esito += assi;
  esito.append(xml, dopo_assi, std::string::npos);
  return esito;
}

std::string AsseDiDate(const std::string& xml, const AsseDate& asse) {
  if (asse.unita == UnitaDate::kNessuna) return xml;
  const size_t inizio = xml.find("<c:catAx>");
  const size_t fine = xml.find("</c:catAx>", inizio);
  if (inizio == std::string::npos || fine == std::string::npos) return xml;
  std::string asse_xml = xml.substr(inizio + 9, fine - inizio - 9);
  // What only a category axis has.
  for (const char* nome : {"c:lblAlgn", "c:tickLblSkip", "c:tickMarkSkip", "c:noMultiLvlLbl"}) {
    const std::string apertura = std::string("<") + nome + " ";
    for (size_t p = asse_xml.find(apertura); p != std::string::npos; p = asse_xml.find(apertura)) {
      asse_xml.erase(p, asse_xml.find("/>", p) + 2 - p);
    }
  }
  // Dates, not the order of the rows: an axis of days whatever the data hold.
  const std::string automatico = "<c:auto val=\"1\"/>";
  if (size_t p = asse_xml.find(automatico); p != std::string::npos) {
    asse_xml.replace(p, automatico.size(), "<c:auto val=\"0\"/>");
  }
  asse_xml += std::string("<c:baseTimeUnit val=\"") +
              (asse.base == UnitaDate::kMesi ? "months" : "days") + "\"/><c:majorUnit val=\"" +
              std::to_string(asse.passo) + "\"/><c:majorTimeUnit val=\"" +
              (asse.unita == UnitaDate::kMesi ? "months" : "days") + "\"/>";
  return xml.substr(0, inizio) + "<c:dateAx>" + asse_xml + "</c:dateAx>" + xml.substr(fine + 10);
}

std::string LineeDritte(const std::string& xml) {
  std::string esito;
  size_t da = 0;
  for (size_t p = xml.find("</c:ser>"); p != std::string::npos; p = xml.find("</c:ser>", p + 1)) {
    esito.append(xml, da, p - da);
    const size_t inizio = xml.rfind("<c:ser>", p);
    if (xml.find("<c:smooth ", inizio) > p) esito += "<c:smooth val=\"0\"/>";
    da = p;
  }
  esito.append(xml, da, std::string::npos);
  return esito;
}

void RitoccaXlsx(const std::string& file, const std::string& percorso,
                 const std::vector<const Grafico*>& grafici, const std::string& applicazione) {
  bool da_ritoccare = !applicazione.empty();
  for (const Grafico* g : grafici) {
    for (const SerieGrafico& s : g->serie) da_ritoccare = da_ritoccare || s.asse_secondario;
    da_ritoccare =
        da_ritoccare || g->asse_date.unita != UnitaDate::kNessuna || g->tipo == TipoGrafico::kLinee;
  }
  if (!da_ritoccare) return;
  Zip zip(file, percorso);
  for (size_t i = 0; i < grafici.size(); ++i) {
    const Grafico& g = *grafici[i];
    int secondarie = 0;
    for (const SerieGrafico& s : g.serie) secondarie += s.asse_secondario ? 1 : 0;
    const bool linee = g.tipo == TipoGrafico::kLinee;
    if (secondarie == 0 && g.asse_date.unita == UnitaDate::kNessuna && !linee) continue;
    const std::string parte = "xl/charts/chart" + std::to_string(i + 1) + ".xml";
    // The date axis first: it is the first category axis, before the secondary one is added.
    std::string xml =
        AsseSecondario(AsseDiDate(zip.Leggi(parte), g.asse_date), secondarie,
                       g.titolo_valori_secondari, g.formato_valori_secondari, g.valori_da_zero);
    if (linee) xml = LineeDritte(xml);
    zip.Sostituisci(parte, std::move(xml));
  }
  if (!applicazione.empty()) {
    std::string app = zip.Leggi("docProps/app.xml");
    const std::string prima = "<Application>", dopo = "</Application>";
    const size_t da = app.find(prima);
    const size_t a = app.find(dopo, da);
    if (da != std::string::npos && a != std::string::npos) {
      app.replace(da + prima.size(), a - da - prima.size(), Xml(applicazione));
      zip.Sostituisci("docProps/app.xml", std::move(app));
    }
  }
  zip.Chiudi();
}

}  // namespace vendrix::excel
