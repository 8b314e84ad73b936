// The records that a command returned: a cursor over them with the current record's fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/field_value.h"
#include "database/sqlite_statement.h"
#include "platform/large_memory.h"

namespace tarvex::database {

class RecordSet;

// One field of the current record.
class Field {
 public:
  Field(const RecordSet& records, int index) : records_(records), index_(index) {}
  FieldValue Value() const;
  // The name of the statement's result column ("a" for SELECT a, "x" for SELECT b AS x).
  const std::string& Name() const;

 private:
  const RecordSet& records_;
  int index_;
};

// The fields of the current record, in the order of the statement's result columns.
class FieldList {
 public:
  explicit FieldList(const RecordSet& records) : records_(records) {}
  int Count() const;
  // index counts from 0; throws DatabaseError outside 0 .. Count() - 1.
  Field Item(int index) const { return Field(records_, index); }

 private:
  const RecordSet& records_;
};

// Records are kept as they are fetched, so MoveFirst returns to the very same records: a second
// pass never runs the statement again and cannot see other rows (a changed table, random()).
class RecordSet {
 public:
  // Takes over a compiled statement and fetches its first record. jet_types: columns declared
  // with the Access copy's types give yes/no values and dates. Throws DatabaseError.
  RecordSet(StatementHandle statement, bool jet_types);
  RecordSet(RecordSet&&) noexcept = default;
  RecordSet& operator=(RecordSet&&) noexcept = default;

  // True when there is no current record (EOF is a macro of the C library, hence the name).
  bool Eof() const;
  void MoveFirst();
  // Throws DatabaseError at the end or when the engine fails while fetching.
  void MoveNext();
  FieldList Fields() const;
  void Close();

 private:
  friend class Field;
  friend class FieldList;

  // Fetched records in blocks that never move once filled, each twice the size of the one before
  // up to a limit: per value its kind and a payload, a number's bits or where its bytes start in
  // the byte store (after their 4-byte length).
  struct Block {
    std::size_t first_record = 0;
    std::size_t records = 0;  // room for this many
    std::vector<std::uint64_t, platform::LargeAllocator<std::uint64_t>> payloads;
    std::vector<FieldKind> kinds;
  };

  void RequireOpen() const;
  void RequireRecord() const;
  void FetchRecord();
  FieldValue ValueAt(int index) const;
  const std::string& NameAt(int index) const;

  StatementHandle statement_;
  std::vector<FieldKind> declared_;  // kBoolean or kDate where the declaration says so
  int field_count_ = 0;
  std::vector<std::string> names_;  // kept: the statement is finalized once every record is in
  std::vector<Block> blocks_;
  std::size_t block_ = 0;  // the block of the current record
  std::string bytes_;
  std::size_t fetched_ = 0;
  std::size_t position_ = 0;
  bool finished_ = false;
  bool open_ = true;
};

}  // namespace tarvex::database
