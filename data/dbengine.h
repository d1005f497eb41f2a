#ifndef VENDRIX_DATA_DBENGINE_H_
#define VENDRIX_DATA_DBENGINE_H_

// The database engine layer: the operations the runs rely on, under their usual names, over
// SQLite. A database file "X.mdb" is a SQLite 3 file; the hotel suite's own Access files are read
// (never written) through the same operations. Every failure throws Errore with an Italian text
// naming the operation and the file, table, field or SQL text at fault.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comune/testo.h"
#include "data/errore.h"
#include "data/valore.h"

namespace vendrix {

// Field type codes of CreateField.
constexpr int dbBoolean = 1;
constexpr int dbInteger = 3;   // 16-bit signed
constexpr int dbLong = 4;      // 32-bit signed
constexpr int dbCurrency = 5;  // four-decimal fixed point
constexpr int dbDouble = 7;
constexpr int dbDate = 8;
constexpr int dbText = 10;  // with a size in characters

class Recordset;
class Database;
class DBEngine;
namespace engine_detail {
class Motore;
class Connessione;
class Insieme;
}  // namespace engine_detail

// One field of a recordset's current row (or of the row being added or edited).
class Campo {
 public:
  Valore Value() const;
  // Writes the field of the row being added (AddNew) or edited (Edit). The value is converted to
  // the field's type: a text longer than a text field is cut to the field's size; a number that
  // does not fit an integer field throws Errore ("Overflow").
  Campo& operator=(const Valore& valore);

 private:
  friend class Recordset;
  Campo(engine_detail::Insieme* insieme, int indice) : insieme_(insieme), indice_(indice) {}
  engine_detail::Insieme* insieme_;
  int indice_;
};

// A searchable set of rows: a table (in table order) or the result of an SQL SELECT (in the order
// the SQL gives). Rows are visited with FindFirst / FindNext; a find with an equality on a field
// takes its candidates from an index on that field, built on first use, so it costs about the
// rows it matches. A set keeps the criteria it parsed last: a text that differs from one of them
// only inside its quoted texts and numbers is not parsed again. Sets over a table of a SQLite
// file are updatable; sets over SQL texts and over the suite's Access files are read-only.
class Recordset {
 public:
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Criteria: comparisons (=, <>, <, <=, >, >=) of a field with a number or a quoted text
  // ('a''b' or "a"), "Field Is [Not] Null", joined by and/or/not, with parentheses, e.g.
  // "NumeroHotel = 1 and Sigla = 'BB'". Texts compare exactly, in code order; a number against a
  // text field reads the text as a number (a text that is none does not match). Null never
  // matches, not even with <>. Build literals with Quota.
  // FindFirst searches from the first row, FindNext from the row after the current one. A fresh
  // set stands on its first row. A find while an AddNew/Edit waits for Update throws.
  void FindFirst(std::string_view criteri);
  void FindNext(std::string_view criteri);
  // True when the last find found nothing; there is then no current row, and reading a field
  // throws until a find succeeds.
  bool NoMatch() const;

  // The named field; throws Errore when the set has no such field.
  Campo Fields(std::string_view nome);
  // Position of a field, for loops that read the same field many times; throws like Fields.
  int IndiceCampo(std::string_view nome) const;
  Campo Fields(int indice) { return Campo(insieme_.get(), indice); }
  int NumeroCampi() const;
  std::string NomeCampo(int indice) const;

  // Begins a new row (all fields Null) / an edit of the current row; Update stores it. While the
  // row is being built, Fields reads it. After Update the current row is the one before AddNew.
  // Sets over SQL texts and over the suite's Access files throw here.
  void AddNew();
  void Edit();
  void Update();

  // Moves to the last row; on an empty set there is then no current row (no error).
  void MoveLast();
  // The number of rows of the set (also before MoveLast).
  int64_t RecordCount() const;

  // Releases the rows; any later use throws.
  void Close();

 private:
  friend class Database;
  explicit Recordset(std::unique_ptr<engine_detail::Insieme> insieme);
  std::unique_ptr<engine_detail::Insieme> insieme_;
};

// A field definition, made by TableDef::CreateField.
struct Field {
  std::string nome;
  int tipo = dbText;
  int dimensione = 0;  // characters, for text fields; ignored for the others
};

// A table definition being built: fields are appended in order, then the table is appended to
// the database's TableDefs.
class TableDef {
 public:
  explicit TableDef(std::string nome) : nome_(std::move(nome)) {}
  Field CreateField(std::string nome, int tipo, int dimensione = 0) const {
    return Field{std::move(nome), tipo, dimensione};
  }
  class ElencoCampi {
   public:
    void Append(Field campo) { campi_.push_back(std::move(campo)); }
    const std::vector<Field>& Elenco() const { return campi_; }

   private:
    std::vector<Field> campi_;
  };
  ElencoCampi Fields;
  const std::string& Name() const { return nome_; }

 private:
  std::string nome_;
};

// An open database file.
class Database {
 public:
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // origine: a table name or an SQL SELECT text in the dialect of the hotel suite
  // ("... In 'TipiCamere.mdb' ...", Left(f,n), sum() ... as ..., Group by, Order by). A file
  // named with In is relative to the engine's working folder unless absolute; '\\' separates
  // folders too. A sum of a Currency field reads back as exact Currency.
  std::unique_ptr<Recordset> OpenRecordset(std::string_view origine);
  // Several sets, each as OpenRecordset opens it, in the order given. Grouped sums of one
  // table's columns ("Select c, sum(x) as a, ... From T [Where ...] Group by c, ... [Order by
  // c, ...]") over the same table are worked out together, reading the table once. An error is
  // the one that opening them one by one would meet first.
  std::vector<std::unique_ptr<Recordset>> OpenRecordsets(
      const std::vector<std::string_view>& origini);

  TableDef CreateTableDef(std::string nome) const { return TableDef(std::move(nome)); }
  class ElencoTabelle {
   public:
    // Creates the table in the file, with its fields in the order appended.
    void Append(const TableDef& tabella);

   private:
    friend class Database;
    explicit ElencoTabelle(Database* db) : db_(db) {}
    Database* db_;
  };
  ElencoTabelle TableDefs() { return ElencoTabelle(this); }

  // A transaction over the whole file: every write between BeginTrans and CommitTrans is stored
  // at once or not at all. One at a time; closing with a transaction open rolls it back.
  void BeginTrans();
  void CommitTrans();
  void Rollback();

  // Releases the file: an open transaction is rolled back and the recordsets opened on this
  // database can no longer be used. The destructor closes too.
  void Close();
  const std::string& Name() const;
  // True when the file has a table (or view) of that name, in any case of letters.
  bool HaTabella(std::string_view nome) const;

 private:
  friend class DBEngine;
  friend class Workspace;
  explicit Database(std::shared_ptr<engine_detail::Connessione> connessione);
  std::shared_ptr<engine_detail::Connessione> connessione_;
};

class Workspace {
 public:
  // Creates a new, empty database file; throws Errore when the file exists or cannot be written.
  std::unique_ptr<Database> CreateDatabase(const std::string& nome);

 private:
  friend class DBEngine;
  explicit Workspace(DBEngine* motore) : motore_(motore) {}
  DBEngine* motore_;
};

// The engine. A run creates one and opens its databases through it; what the engine has read of
// the suite's Access files is kept for the engine's life, so a file is read once per run however
// many queries name it. Databases and recordsets may outlive the engine object itself.
// Several threads may open databases through one engine at the same time; a database and the
// recordsets opened on it are then used by one thread at a time (they may change hands). Any
// thread may be the first to open an Access file: it is read by a program of its own
// (vendrix-lettore-jet, beside the running program), never by a copy of this process.
class DBEngine {
 public:
  // `cartella` is the working folder: every relative file name given to the engine (databases
  // opened or created, files named with In in SQL texts) is taken inside it. Empty: the
  // process's current folder.
  explicit DBEngine(std::filesystem::path cartella = {});
  ~DBEngine();
  DBEngine(const DBEngine&) = delete;
  DBEngine& operator=(const DBEngine&) = delete;

  // The engine's one workspace, where databases are created.
  Workspace& Workspaces();
  const std::filesystem::path& Cartella() const;
  // Opens a database file named by path (a bare name is looked for in the working folder). The
  // format is recognised from the file's first bytes. Throws Errore when the file is missing or
  // is not a database.
  std::unique_ptr<Database> OpenDatabase(const std::string& nome);
  // Declares the file `nome` a work file: one its owner builds from nothing, throws away if
  // anything fails, and syncs to disk itself before putting it in place. The databases this
  // engine creates or opens on it keep their rollback journal in memory and do not wait for the
  // disk at each commit; a crash can leave such a file damaged, so it must never be a file that
  // counts until its owner has synced it.
  void FileDiLavoro(const std::string& nome);

 private:
  friend class Workspace;
  std::shared_ptr<engine_detail::Motore> motore_;
  Workspace workspace_;
};

}  // namespace vendrix

#endif  // VENDRIX_DATA_DBENGINE_H_
