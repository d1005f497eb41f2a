#ifndef VENDRIX_DATA_TABELLE_H_
#define VENDRIX_DATA_TABELLE_H_

// The one catalogue of the files, tables and fields the program reads from the hotel suite and
// writes into its own statistics store. The SQL texts of the runs spell these names as part of
// their text; everything else uses the constants below.

namespace vendrix::tabelle {

// Room types.
inline constexpr const char* kFileTipiCamere = "TipiCamere.mdb";
inline constexpr const char* kTipiCamere = "TipiCamere";
inline constexpr const char* kSigla = "Sigla";
inline constexpr const char* kTipologia = "Tipologia";
inline constexpr const char* kDescrizione = "Descrizione";
inline constexpr const char* kQuantita = "Quantita";

// Rooms.
inline constexpr const char* kFileNumeriCamere = "NumeriCamere.mdb";
inline constexpr const char* kNumeriCamere = "NumeriCamere";
inline constexpr const char* kNumeroCamera = "NumeroCamera";
inline constexpr const char* kTipoCamera = "TipoCamera";

// Booked room lines.
inline constexpr const char* kFileCamerePrenotazione = "Camere_Prenotazione.mdb";
inline constexpr const char* kCamerePrenotazione = "Camere_Prenotazione";
inline constexpr const char* kNumeroPrenotazione = "NumeroPrenotazione";
inline constexpr const char* kDataArrivo = "DataArrivo";
inline constexpr const char* kDataPartenza = "DataPartenza";
inline constexpr const char* kQuantitaCamere = "QuantitàCamere";
inline constexpr const char* kNumeroPersone = "NumeroPersone";

// Booking headers.
inline constexpr const char* kFileSchedaPrenotazione = "Scheda_Prenotazione.mdb";
inline constexpr const char* kSchedaPrenotazione = "Scheda_Prenotazione";
inline constexpr const char* kTipoPrenotazione = "TipoPrenotazione";
inline constexpr const char* kDitta = "Ditta";

// Guest cards (live and archived).
inline constexpr const char* kFileSchedaCliente = "Scheda_Cliente.mdb";
inline constexpr const char* kFileSchedaStorico = "SchedaStoricoClienti.mdb";
inline constexpr const char* kSchedaCliente = "Scheda_Cliente";
inline constexpr const char* kNumeroProgressivo = "NumeroProgressivo";
inline constexpr const char* kNomeCliente = "NomeCliente";
inline constexpr const char* kDataPartenzaReale = "DataPartenzaReale";
inline constexpr const char* kPartito = "Partito";
inline constexpr const char* kNumeroComponente = "NumeroComponente";
inline constexpr const char* kCodiceCapoFamiglia = "CodiceCapoFamiglia";
inline constexpr const char* kCodiceCapoGruppo = "CodiceCapoGruppo";

// Paying companies (live and archived).
inline constexpr const char* kFileDittaIntestataria = "Ditta_Intestataria.mdb";
inline constexpr const char* kFileDittaStorico = "DittaStoricoClienti.mdb";
inline constexpr const char* kDittaIntestataria = "Ditta_Intestataria";
inline constexpr const char* kCodiceCliente = "CodiceCliente";
inline constexpr const char* kRagioneSociale = "RagioneSociale";

// Charge lines (live and archived).
inline constexpr const char* kFileArrangiamento = "Arrangiamento.mdb";
inline constexpr const char* kFileArrangiamentoStorico = "ArrangiamentoStoricoClienti.mdb";
inline constexpr const char* kArrangiamento = "Arrangiamento";
inline constexpr const char* kDataInizio = "DataInizio";
inline constexpr const char* kDataFine = "DataFine";
inline constexpr const char* kImportoTotale = "ImportoTotale";
inline constexpr const char* kVoceAddebito = "VoceAddebito";
// kDescrizione and kArrangiamento name fields of this table too.

// Invoice items.
inline constexpr const char* kFileVociFattura = "VociFattura.mdb";
inline constexpr const char* kVociFattura = "VociFattura";
inline constexpr const char* kCodice = "Codice";
inline constexpr const char* kReparto = "Reparto";

// Board arrangements.
inline constexpr const char* kFileArrangiamenti = "Arrangiamenti.mdb";
inline constexpr const char* kNomiArrangiamenti = "NomiArrangiamenti";
inline constexpr const char* kTipo = "Tipo";

// Every table has it.
inline constexpr const char* kNumeroHotel = "NumeroHotel";

// The statistics store.
inline constexpr const char* kFileVendrix = "Vendrix.mdb";
inline constexpr const char* kVendrix = "Vendrix";
inline constexpr const char* kDataRif = "DataRif";
inline constexpr const char* kTotRO = "TotRO";
inline constexpr const char* kTotBB = "TotBB";
inline constexpr const char* kTotHB = "TotHB";
inline constexpr const char* kTotFB = "TotFB";
inline constexpr const char* kTotSupl = "TotSupl";
inline constexpr const char* kTotRetta = "TotRetta";
inline constexpr const char* kAgenzia = "Agenzia";
inline constexpr const char* kTotCamOcc = "TotCamOcc";
inline constexpr const char* kTotPax = "TotPax";
inline constexpr const char* kExtra = "Extra";

// The period the statistics store was computed for: one row, written by the calculation run.
inline constexpr const char* kPeriodo = "Periodo";
inline constexpr const char* kDal = "Dal";
inline constexpr const char* kAl = "Al";
inline constexpr const char* kConfermate = "Confermate";
inline constexpr const char* kOpzionate = "Opzionate";
inline constexpr const char* kClienti = "Clienti";
inline constexpr const char* kCreatoIl = "CreatoIl";
inline constexpr const char* kVersione = "Versione";

// The agency filter file.
inline constexpr const char* kFileFiltro = "VendrixFiltro.txt";

}  // namespace vendrix::tabelle

#endif  // VENDRIX_DATA_TABELLE_H_
