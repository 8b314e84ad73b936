#include "database/record_set.h"

#include <bit>
#include <string>

#include "database/access_file.h"
#include "platform/text.h"

namespace tarvex::database {

FieldValue Field::Value() const { return records_.ValueAt(index_); }

int FieldList::Count() const {
  records_.RequireOpen();
  return records_.field_count_;
}

RecordSet::RecordSet(StatementHandle statement, bool jet_types)
    : statement_(std::move(statement)), field_count_(sqlite3_column_count(statement_.get())) {
  declared_.assign(field_count_, FieldKind::kNull);
  if (jet_types) {
    for (int i = 0; i < field_count_; ++i) {
      const char* declared = sqlite3_column_decltype(statement_.get(), i);
      if (declared == nullptr) continue;
      if (platform::EqualIgnoringAsciiCase(declared, kYesNoType))
        declared_[i] = FieldKind::kBoolean;
      if (platform::EqualIgnoringAsciiCase(declared, kDateType)) declared_[i] = FieldKind::kDate;
    }
  }
  FetchRecord();
}

bool RecordSet::Eof() const {
  RequireOpen();
  return position_ >= fetched_;
}

void RecordSet::MoveFirst() {
  RequireOpen();
  position_ = 0;
}

void RecordSet::MoveNext() {
  RequireRecord();
  ++position_;
  if (position_ == fetched_ && !finished_) FetchRecord();
}

FieldList RecordSet::Fields() const {
  RequireOpen();
  return FieldList(*this);
}

void RecordSet::Close() {
  RequireOpen();
  statement_.reset();
  cells_ = {};
  bytes_ = {};
  open_ = false;
}

void RecordSet::RequireOpen() const {
  if (!open_) throw DatabaseError("The record set is closed");
}

void RecordSet::RequireRecord() const {
  if (Eof()) throw DatabaseError("There is no current record");
}

void RecordSet::FetchRecord() {
  sqlite3_stmt* statement = statement_.get();
  const int result = sqlite3_step(statement);
  if (result == SQLITE_DONE) {
    finished_ = true;
    statement_.reset();  // ends the statement's read of the database
    return;
  }
  if (result != SQLITE_ROW) throw DatabaseError(sqlite3_errmsg(sqlite3_db_handle(statement)));
  for (int i = 0; i < field_count_; ++i) {
    Cell cell;
    switch (sqlite3_column_type(statement, i)) {
      case SQLITE_INTEGER:
        cell.kind = FieldKind::kNumber;
        cell.payload =
            std::bit_cast<std::uint64_t>(static_cast<double>(sqlite3_column_int64(statement, i)));
        break;
      case SQLITE_FLOAT:
        cell.kind = FieldKind::kNumber;
        cell.payload = std::bit_cast<std::uint64_t>(sqlite3_column_double(statement, i));
        break;
      case SQLITE_TEXT:
      case SQLITE_BLOB: {
        const bool text = sqlite3_column_type(statement, i) == SQLITE_TEXT;
        const void* data = text ? static_cast<const void*>(sqlite3_column_text(statement, i))
                                : sqlite3_column_blob(statement, i);
        const int size = sqlite3_column_bytes(statement, i);
        cell.kind = text ? FieldKind::kText : FieldKind::kBinary;
        cell.payload = bytes_.size();
        cell.size = static_cast<std::uint32_t>(size);
        if (size > 0) bytes_.append(static_cast<const char*>(data), static_cast<size_t>(size));
        break;
      }
      default:
        break;
    }
    // The Access copy stores yes/no values as -1 or 0 and dates as day numbers.
    if (cell.kind == FieldKind::kNumber && declared_[i] != FieldKind::kNull) {
      cell.kind = declared_[i];
    }
    cells_.push_back(cell);
  }
  ++fetched_;
}

FieldValue RecordSet::ValueAt(int index) const {
  RequireRecord();
  if (index < 0 || index >= field_count_) {
    throw DatabaseError("The record has no field " + std::to_string(index));
  }
  const Cell& cell = cells_[position_ * static_cast<size_t>(field_count_) + index];
  FieldValue value;
  value.kind = cell.kind;
  switch (cell.kind) {
    case FieldKind::kNumber:
    case FieldKind::kDate:
      value.number = std::bit_cast<double>(cell.payload);
      break;
    case FieldKind::kBoolean:
      value.number = std::bit_cast<double>(cell.payload) != 0 ? -1 : 0;
      break;
    case FieldKind::kText:
    case FieldKind::kBinary:
      value.bytes.assign(bytes_, cell.payload, cell.size);
      break;
    case FieldKind::kNull:
      break;
  }
  return value;
}

}  // namespace tarvex::database
