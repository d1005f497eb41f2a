// Workbook::SaveAs: the in-memory workbook written as an xlsx file with libxlsxwriter.

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <list>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "comune/errore_sistema.h"
#include "comune/testo.h"
#include "reports/cartella_lavoro.h"
#include "reports/ritocco_xlsx.h"

namespace vendrix::excel {

namespace {

// The longest text a cell may hold, in bytes as the library counts it.
constexpr size_t kMassimoTesto = 32767;

// While it lives, what the process writes on stderr goes into a pipe whose content is thrown
// away (a write that would fill it fails instead of waiting). Only for a section during which
// the program itself prints nothing there.
class StampeTrattenute {
 public:
  StampeTrattenute() {
    std::fflush(stderr);
    if (::pipe2(tubo_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    salvato_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (salvato_ < 0 || ::dup2(tubo_[1], STDERR_FILENO) < 0) {
      if (salvato_ >= 0) ::close(salvato_);
      salvato_ = -1;
    }
  }
  ~StampeTrattenute() {
    std::fflush(stderr);
    if (salvato_ >= 0) {
      ::dup2(salvato_, STDERR_FILENO);
      ::close(salvato_);
    }
    for (int fd : tubo_) {
      if (fd >= 0) ::close(fd);
    }
  }
  StampeTrattenute(const StampeTrattenute&) = delete;
  StampeTrattenute& operator=(const StampeTrattenute&) = delete;

 private:
  int tubo_[2] = {-1, -1};
  int salvato_ = -1;
};

std::string Posizione(const std::pair<int, int>& cella) {
  return "riga " + std::to_string(cella.first) + ", colonna " + std::to_string(cella.second);
}

// Owns the library's workbook until it is closed (which writes the file) or dropped.
class ScritturaXlsx {
 public:
  // Writes into `file`; messages name `percorso`, the file the user asked for.
  ScritturaXlsx(const std::string& file, const std::string& percorso)
      : percorso_(percorso), cartella_file_(CartellaDi(file)) {
    // Rows are written in order and flushed one by one: a sheet of a million rows is not held
    // a second time in the library's memory. The rows wait in unlinked files (mode 0600) of the
    // workbook's own folder: no other user sees them, nothing is left behind, and a full disk
    // is the disk of the folder the message names.
    lxw_workbook_options opzioni = {};
    opzioni.constant_memory = LXW_TRUE;
    opzioni.tmpdir = cartella_file_.data();
    cartella_ = workbook_new_opt(file.c_str(), &opzioni);
    if (cartella_ == nullptr) Fallito("impossibile preparare la cartella di lavoro");
  }
  ~ScritturaXlsx() {
    // Dropped after a failure: the library can only release a workbook by closing it, which
    // writes the file; the caller removes that file again.
    if (cartella_ != nullptr) workbook_close(cartella_);
  }
  ScritturaXlsx(const ScritturaXlsx&) = delete;
  ScritturaXlsx& operator=(const ScritturaXlsx&) = delete;

  void Proprieta(const ProprietaDocumento& proprieta) {
    titolo_ = Utf8Riparato(proprieta.titolo);
    soggetto_ = Utf8Riparato(proprieta.soggetto);
    lxw_doc_properties p = {};
    p.title = titolo_.data();
    p.subject = soggetto_.data();
    Controlla(workbook_set_properties(cartella_, &p), "proprietà del documento");
  }

  void Foglio(const Worksheet& foglio, bool attivo) {
    lxw_worksheet* ws = workbook_add_worksheet(cartella_, foglio.Name().c_str());
    if (ws == nullptr) Fallito("impossibile aggiungere il foglio \"" + foglio.Name() + "\"");
    Impostazioni(ws, foglio);
    if (attivo) worksheet_activate(ws);
    std::vector<lxw_format*> formati;
    for (const FormatoCella& f : foglio.Formati()) formati.push_back(Formato(f));
    const auto& formule = foglio.Formule();
    auto formula = formule.begin();
    // Rows go to the file one by one, in order: the notes of a row go with it.
    const auto& note = foglio.Commenti();
    auto nota = note.begin();
    const auto& righe = foglio.Righe();
    // The library keeps one row in memory at a time: a row's height is given when the row is
    // reached, after the rows above it are written.
    const auto& altezze = foglio.AltezzeRighe();
    auto altezza = altezze.begin();
    const auto altezze_fino_a = [&](int ultima_riga) {
      for (; altezza != altezze.end() && altezza->first <= ultima_riga; ++altezza) {
        Controlla(worksheet_set_row(ws, altezza->first - 1, altezza->second, nullptr),
                  "altezza della riga " + std::to_string(altezza->first));
      }
    };
    for (size_t i = 0; i < righe.size(); ++i) {
      altezze_fino_a(static_cast<int>(i) + 1);
      for (; nota != note.end() && nota->first.first <= static_cast<int>(i) + 1; ++nota) {
        Nota(ws, *nota);
      }
      for (size_t j = 0; j < righe[i].size(); ++j) {
        const std::pair<int, int> posizione(static_cast<int>(i) + 1, static_cast<int>(j) + 1);
        // Formulas are kept in cell order: the next one is here or further on.
        const bool con_formula = formula != formule.end() && formula->first == posizione;
        ScriviCella(ws, posizione, righe[i][j].valore, formati.at(righe[i][j].formato),
                    con_formula ? (formula++)->second.c_str() : nullptr);
      }
    }
    altezze_fino_a(kMassimoRighe);
    for (; nota != note.end(); ++nota) Nota(ws, *nota);
    for (const Grafico& g : foglio.Grafici()) InserisciGrafico(ws, g);
  }

  // Charts in the order the file numbers them: sheet by sheet, in the order placed.
  const std::vector<const Grafico*>& Grafici() const { return grafici_; }

  void Chiudi() {
    errno = 0;
    lxw_error esito = workbook_close(cartella_);
    cartella_ = nullptr;
    if (esito != LXW_NO_ERROR) Fallito(Ragione(esito, errno));
  }

  // Why the library failed, in the user's words. The system's reason, when there is one, says
  // more than the library's.
  std::string Ragione(lxw_error esito, int numero) const {
    if (numero == ENOSPC || numero == EDQUOT) {
      return "spazio esaurito nella cartella " + cartella_file_ + ". Liberare spazio e riprovare";
    }
    if (numero != 0) return TestoErroreSistema(numero);
    switch (esito) {
      case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return "memoria insufficiente. Chiudere altri programmi e riprovare";
      case LXW_ERROR_CREATING_XLSX_FILE:
      case LXW_ERROR_CREATING_TMPFILE:
        return "impossibile creare il file nella cartella " + cartella_file_ +
               ". Controllare lo spazio libero e i permessi e riprovare";
      case LXW_ERROR_READING_TMPFILE:
      case LXW_ERROR_ZIP_FILE_OPERATION:
      case LXW_ERROR_ZIP_FILE_ADD:
      case LXW_ERROR_ZIP_CLOSE:
        return "errore di scrittura nella cartella " + cartella_file_ +
               " (disco pieno o guasto). Liberare spazio e riprovare";
      default:
        return "errore interno della scrittura (codice " + std::to_string(esito) + ")";
    }
  }

 private:
  lxw_format* Formato(const FormatoCella& f) {
    if (f == FormatoCella{}) return nullptr;
    const std::string chiave = f.numero + (f.grassetto ? "\x01" : "\x02") + (f.a_capo ? "1" : "0") +
                               (f.a_destra ? "1" : "0");
    auto [it, nuovo] = formati_.try_emplace(chiave, nullptr);
    if (nuovo) {
      it->second = workbook_add_format(cartella_);
      if (it->second == nullptr) Fallito("memoria insufficiente");
      if (!f.numero.empty()) format_set_num_format(it->second, f.numero.c_str());
      if (f.grassetto) format_set_bold(it->second);
      if (f.a_destra) format_set_align(it->second, LXW_ALIGN_RIGHT);
      if (f.a_capo) {
        format_set_text_wrap(it->second);
        format_set_align(it->second, LXW_ALIGN_VERTICAL_TOP);
      }
    }
    return it->second;
  }

  // The sheet's settings: widths, frozen panes, autofilter, print settings.
  void Impostazioni(lxw_worksheet* ws, const Worksheet& foglio) {
    for (const auto& [colonna, larghezza] : foglio.LarghezzeColonne()) {
      Controlla(worksheet_set_column(ws, colonna - 1, colonna - 1, larghezza, nullptr),
                "larghezza della colonna " + std::to_string(colonna));
    }
    const auto [riga_bloccata, colonna_bloccata] = foglio.RiquadriBloccati();
    if (riga_bloccata > 1 || colonna_bloccata > 1) {
      worksheet_freeze_panes(ws, riga_bloccata - 1, colonna_bloccata - 1);
    }
    if (const auto& filtro = foglio.FiltroAutomatico()) {
      Controlla(worksheet_autofilter(ws, filtro->riga1 - 1, filtro->colonna1 - 1, filtro->riga2 - 1,
                                     filtro->colonna2 - 1),
                "filtro automatico");
    }
    const ImpostazioniPagina& pagina = foglio.Pagina();
    if (pagina.orizzontale) worksheet_set_landscape(ws);
    if (pagina.pagine_in_larghezza > 0) {
      worksheet_fit_to_pages(ws, static_cast<uint16_t>(pagina.pagine_in_larghezza),
                             static_cast<uint16_t>(pagina.pagine_in_altezza));
    }
    if (pagina.righe_ripetute > 0) {
      Controlla(worksheet_repeat_rows(ws, 0, pagina.righe_ripetute - 1), "righe da ripetere");
    }
    if (!pagina.intestazione.empty()) {
      Controlla(worksheet_set_header(ws, Testo(pagina.intestazione)), "intestazione di pagina");
    }
    if (!pagina.pie_di_pagina.empty()) {
      Controlla(worksheet_set_footer(ws, Testo(pagina.pie_di_pagina)), "piè di pagina");
    }
  }

  // Writes the cell at 1-based `posizione`: `formula` with `v` as its result when given, else
  // `v` itself. An empty cell is written only when it has a format.
  void ScriviCella(lxw_worksheet* ws, const std::pair<int, int>& posizione, const ValoreCella& v,
                   lxw_format* formato, const char* formula) {
    const lxw_row_t r = static_cast<lxw_row_t>(posizione.first - 1);
    const lxw_col_t c = static_cast<lxw_col_t>(posizione.second - 1);
    if (v.Tipo() == TipoCella::kTesto && formula == nullptr) {
      // A byte outside well-formed UTF-8 (a text of another code page) would make the whole
      // file unreadable: it is written as U+FFFD.
      std::string testo = Utf8Riparato(v.Testo());
      // Cut to what a cell holds, as the store cuts agency names to its field, at the start of
      // a character.
      if (testo.size() > kMassimoTesto) {
        size_t fine = kMassimoTesto;
        while (fine > 0 && (static_cast<unsigned char>(testo[fine]) & 0xC0) == 0x80) --fine;
        testo.resize(fine);
      }
      Controlla(worksheet_write_string(ws, r, c, testo.c_str(), formato), Posizione(posizione));
    } else if (v.Vuota() && formula == nullptr) {
      if (formato != nullptr) {
        Controlla(worksheet_write_blank(ws, r, c, formato), Posizione(posizione));
      }
    } else {
      const double x = v.Numero();
      if (!std::isfinite(x)) Fallito("numero non valido (" + Posizione(posizione) + ")");
      Controlla(formula != nullptr ? worksheet_write_formula_num(ws, r, c, formula, formato, x)
                                   : worksheet_write_number(ws, r, c, x, formato),
                Posizione(posizione));
    }
  }

  void Nota(lxw_worksheet* ws, const std::pair<const std::pair<int, int>, std::string>& nota) {
    Controlla(
        worksheet_write_comment(ws, static_cast<lxw_row_t>(nota.first.first - 1),
                                static_cast<lxw_col_t>(nota.first.second - 1), Testo(nota.second)),
        "nota " + Posizione(nota.first));
  }

  // A text the library keeps until the file is written.
  const char* Testo(const std::string& testo) {
    testi_.push_back(Utf8Riparato(testo));
    return testi_.back().c_str();
  }

  static void Serie(lxw_chart_series* serie, const SerieGrafico& s) {
    chart_series_set_categories(serie, s.categorie.foglio.c_str(), s.categorie.riga1 - 1,
                                s.categorie.colonna1 - 1, s.categorie.riga2 - 1,
                                s.categorie.colonna2 - 1);
    chart_series_set_values(serie, s.valori.foglio.c_str(), s.valori.riga1 - 1,
                            s.valori.colonna1 - 1, s.valori.riga2 - 1, s.valori.colonna2 - 1);
  }

  // The library's chart type for `tipo`.
  static uint8_t TipoLibreria(TipoGrafico tipo) {
    switch (tipo) {
      case TipoGrafico::kLinee:
        return LXW_CHART_LINE;
      case TipoGrafico::kColonneImpilate:
        return LXW_CHART_COLUMN_STACKED;
      case TipoGrafico::kBarre:
        return LXW_CHART_BAR;
      case TipoGrafico::kColonne:
        break;
    }
    return LXW_CHART_COLUMN;
  }

  // Places chart `g` on the sheet `ws`, remembering it for the touches the library cannot make.
  void InserisciGrafico(lxw_worksheet* ws, const Grafico& g) {
    const uint8_t tipo = TipoLibreria(g.tipo);
    lxw_chart* grafico = workbook_add_chart(cartella_, tipo);
    if (grafico == nullptr) Fallito("memoria insufficiente");
    // The library keeps the pointers it is given until the file is written.
    chart_title_set_name(grafico, Testo(g.titolo));
    lxw_chart_font titolo = {};
    titolo.size = 11;
    titolo.bold = LXW_EXPLICIT_FALSE;
    chart_title_set_name_font(grafico, &titolo);
    for (const SerieGrafico& s : g.serie) {
      lxw_chart_series* serie = chart_add_series(grafico, nullptr, nullptr);
      if (serie == nullptr) Fallito("memoria insufficiente");
      Serie(serie, s);
      chart_series_set_name(serie, Testo(s.nome));
      if (tipo == LXW_CHART_LINE || s.asse_secondario) {
        chart_series_set_marker_type(serie, LXW_CHART_MARKER_NONE);
      }
    }
    Assi(grafico, g, tipo);
    chart_legend_set_position(grafico, LXW_CHART_LEGEND_BOTTOM);
    lxw_chart_options opzioni = {};
    opzioni.x_scale = g.larghezza / 480.0;
    opzioni.y_scale = g.altezza / 288.0;
    Controlla(worksheet_insert_chart_opt(ws, g.riga - 1, g.colonna - 1, grafico, &opzioni),
              "grafico \"" + g.titolo + "\"");
    grafici_.push_back(&g);
  }

  // The titles, number formats, ticks and labels of the axes of a chart of library type `tipo`.
  void Assi(lxw_chart* grafico, const Grafico& g, uint8_t tipo) {
    // The library's x axis is the horizontal one: in a bar chart it is the value axis.
    const bool barre = tipo == LXW_CHART_BAR;
    lxw_chart_axis* asse_categorie = barre ? grafico->y_axis : grafico->x_axis;
    lxw_chart_axis* asse_valori = barre ? grafico->x_axis : grafico->y_axis;
    if (!g.titolo_categorie.empty()) chart_axis_set_name(asse_categorie, Testo(g.titolo_categorie));
    if (!g.titolo_valori.empty()) chart_axis_set_name(asse_valori, Testo(g.titolo_valori));
    if (!g.formato_valori.empty()) chart_axis_set_num_format(asse_valori, Testo(g.formato_valori));
    if (g.valori_da_zero) chart_axis_set_min(asse_valori, 0);
    // Ticks at the labels only: a reader takes a missing mark for one at every point, which
    // over a year of days draws a solid band under the chart.
    for (lxw_chart_axis* asse : {asse_categorie, asse_valori}) {
      chart_axis_set_major_tick_mark(asse, LXW_CHART_AXIS_TICK_MARK_OUTSIDE);
      chart_axis_set_minor_tick_mark(asse, LXW_CHART_AXIS_TICK_MARK_NONE);
    }
    if (g.asse_date.unita != UnitaDate::kNessuna) {
      chart_axis_set_num_format(asse_categorie, Testo(g.asse_date.formato));
    }
    // Dates and names slanted, so that long labels stay readable side by side.
    lxw_chart_font etichette = {};
    etichette.rotation = barre ? 0 : -45;
    etichette.size = 8;
    chart_axis_set_num_font(grafico->x_axis, &etichette);
    // Bars are listed from the top, in the order of their rows, the value axis below them.
    // Every name beside its bar.
    if (barre) {
      chart_axis_set_reverse(asse_categorie);
      chart_axis_set_crossing_max(asse_categorie);
      chart_axis_set_interval_unit(asse_categorie, 1);
    }
    const int punti = g.serie.front().valori.riga2 - g.serie.front().valori.riga1 + 1;
    if (tipo == LXW_CHART_LINE && punti > 40 && g.asse_date.unita == UnitaDate::kNessuna) {
      const auto passo = static_cast<uint16_t>((punti + 30) / 31);
      chart_axis_set_interval_unit(grafico->x_axis, passo);
      chart_axis_set_interval_tick(grafico->x_axis, passo);
    }
  }

  void Controlla(lxw_error esito, const std::string& dove) {
    if (esito != LXW_NO_ERROR) Fallito(Ragione(esito, 0) + " (" + dove + ")");
  }

  static std::string CartellaDi(const std::string& file) {
    const std::filesystem::path cartella = std::filesystem::path(file).parent_path();
    return cartella.empty() ? std::string(".") : cartella.string();
  }

  [[noreturn]] void Fallito(const std::string& motivo) {
    throw Errore("Salvataggio della cartella di lavoro '" + percorso_ +
                 "' non riuscito: " + motivo);
  }

  std::string percorso_;
  std::string cartella_file_;
  lxw_workbook* cartella_ = nullptr;
  std::map<std::string, lxw_format*> formati_;
  std::string titolo_, soggetto_;
  std::list<std::string> testi_;
  std::vector<const Grafico*> grafici_;
};

}  // namespace

void Workbook::SaveAs(const std::string& percorso) const { SaveAs(percorso, percorso); }

void Workbook::SaveAs(const std::string& percorso, const std::string& nome) const {
  // Written under a temporary name beside the final one and renamed at the end, so that a
  // failure leaves neither a half-written file nor a damaged previous one under `percorso`.
  const std::string provvisorio = percorso + "." + std::to_string(::getpid()) + ".tmp";
  // The libraries print their own diagnostics, in English, on stderr: they are kept from the
  // user, whose message says what failed.
  StampeTrattenute trattenute;
  try {
    {
      ScritturaXlsx scrittura(provvisorio, nome);
      scrittura.Proprieta(proprieta_);
      for (size_t i = 0; i < fogli_.size(); ++i) {
        scrittura.Foglio(*fogli_[i], static_cast<int>(i) + 1 == attivo_);
      }
      scrittura.Chiudi();
      // What the library cannot write: a second value axis, a date axis, and the program as
      // the application that made the file.
      RitoccaXlsx(provvisorio, nome, scrittura.Grafici(), proprieta_.applicazione);
    }
    std::error_code errore;
    std::filesystem::rename(provvisorio, percorso, errore);
    if (errore) {
      throw Errore("Salvataggio della cartella di lavoro '" + nome +
                   "' non riuscito: " + TestoErroreSistema(errore));
    }
  } catch (...) {
    std::error_code ignorato;
    std::filesystem::remove(provvisorio, ignorato);
    throw;
  }
}

}  // namespace vendrix::excel
