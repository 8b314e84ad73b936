#include "database/record_set.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "database/access_file.h"
#include "platform/text.h"

namespace tarvex::database {

FieldValue Field::Value() const { return records_.ValueAt(index_); }

const std::string& Field::Name() const { return records_.NameAt(index_); }

int FieldList::Count() const {
  records_.RequireOpen();
  return records_.field_count_;
}

RecordSet::RecordSet(StatementHandle statement, bool jet_types)
    : statement_(std::move(statement)), field_count_(sqlite3_column_count(statement_.get())) {
  declared_.assign(field_count_, FieldKind::kNull);
  for (int i = 0; i < field_count_; ++i) {
    const char* name = sqlite3_column_name(statement_.get(), i);
    names_.emplace_back(name != nullptr ? name : "");
  }
  if (jet_types) {
    for (int i = 0; i < field_count_; ++i) {
      const char* declared = sqlite3_column_decltype(statement_.get(), i);
      if (declared == nullptr) continue;
      if (platform::EqualIgnoringAsciiCase(declared, kYesNoType)) {
        declared_[i] = FieldKind::kBoolean;
      } else if (platform::EqualIgnoringAsciiCase(declared, kDateType)) {
        declared_[i] = FieldKind::kDate;
      }
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
  block_ = 0;
}

void RecordSet::MoveNext() {
  RequireRecord();
  ++position_;
  if (position_ == fetched_ && !finished_) FetchRecord();
  if (position_ == blocks_[block_].first_record + blocks_[block_].records) ++block_;
}

FieldList RecordSet::Fields() const {
  RequireOpen();
  return FieldList(*this);
}

void RecordSet::Close() {
  RequireOpen();
  statement_.reset();
  blocks_ = {};
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
  if (blocks_.empty() || fetched_ == blocks_.back().first_record + blocks_.back().records) {
    constexpr std::size_t kFirstValues = 4096, kMostValues = std::size_t{1} << 20;
    const auto width = static_cast<std::size_t>(std::max(1, field_count_));
    const std::size_t records =
        blocks_.empty() ? std::max<std::size_t>(1, kFirstValues / width)
                        : std::max(blocks_.back().records,
                                   std::min(2 * blocks_.back().records, kMostValues / width));
    Block& block = blocks_.emplace_back();
    block.first_record = fetched_;
    block.records = records;
    block.payloads.reserve(records * width);
    block.kinds.reserve(records * width);
  }
  Block& block = blocks_.back();
  for (int i = 0; i < field_count_; ++i) {
    // One value object per field: each column call would look the field up again.
    sqlite3_value* field = sqlite3_column_value(statement, i);
    FieldKind kind = FieldKind::kNull;
    std::uint64_t payload = 0;
    switch (const int type = sqlite3_value_type(field)) {
      case SQLITE_INTEGER:
        kind = FieldKind::kNumber;
        payload = std::bit_cast<std::uint64_t>(static_cast<double>(sqlite3_value_int64(field)));
        break;
      case SQLITE_FLOAT:
        kind = FieldKind::kNumber;
        payload = std::bit_cast<std::uint64_t>(sqlite3_value_double(field));
        break;
      case SQLITE_TEXT:
      case SQLITE_BLOB: {
        const void* data =
            type == SQLITE_TEXT ? sqlite3_value_text(field) : sqlite3_value_blob(field);
        const auto size = static_cast<std::uint32_t>(sqlite3_value_bytes(field));
        kind = type == SQLITE_TEXT ? FieldKind::kText : FieldKind::kBinary;
        payload = bytes_.size();
        bytes_.append(reinterpret_cast<const char*>(&size), sizeof size);
        if (size > 0) bytes_.append(static_cast<const char*>(data), size);
        break;
      }
      default:
        break;
    }
    // The Access copy stores yes/no values as -1 or 0 and dates as day numbers.
    if (kind == FieldKind::kNumber && declared_[i] != FieldKind::kNull) kind = declared_[i];
    block.payloads.push_back(payload);
    block.kinds.push_back(kind);
  }
  ++fetched_;
}

const std::string& RecordSet::NameAt(int index) const {
  RequireOpen();
  if (index < 0 || index >= field_count_) {
    throw DatabaseError("The record has no field " + std::to_string(index));
  }
  return names_[static_cast<std::size_t>(index)];
}

FieldValue RecordSet::ValueAt(int index) const {
  RequireRecord();
  if (index < 0 || index >= field_count_) {
    throw DatabaseError("The record has no field " + std::to_string(index));
  }
  const Block& block = blocks_[block_];
  const std::size_t at = (position_ - block.first_record) * field_count_ + index;
  const std::uint64_t payload = block.payloads[at];
  FieldValue value;
  value.kind = block.kinds[at];
  switch (value.kind) {
    case FieldKind::kNumber:
    case FieldKind::kDate:
      value.number = std::bit_cast<double>(payload);
      break;
    case FieldKind::kBoolean:
      value.number = std::bit_cast<double>(payload) != 0 ? -1 : 0;
      break;
    case FieldKind::kText:
    case FieldKind::kBinary: {
      std::uint32_t size = 0;
      std::memcpy(&size, bytes_.data() + payload, sizeof size);
      value.bytes.assign(bytes_, payload + sizeof size, size);
      break;
    }
    case FieldKind::kNull:
      break;
  }
  return value;
}

}  // namespace tarvex::database
