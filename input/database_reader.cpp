#include "input/database_reader.h"

#include <exception>
#include <memory>

#include "database/connection.h"
#include "database/run_connections.h"
#include "job/failure.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "platform/number_text.h"

namespace tarvex::input {

using database::FieldKind;
using database::FieldList;
using database::FieldValue;
using job::DataMatrix;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

// The number test on a field value: numbers and yes/no values (true is -1) pass, a text passes
// when the locale's number test accepts it; null, dates and binary values do not.
bool IsNumber(const FieldValue& value, const std::string& decimal_separator, double& number) {
  switch (value.kind) {
    case FieldKind::kNumber:
    case FieldKind::kBoolean:
      number = value.number;
      return true;
    case FieldKind::kText:
      return platform::ConvertLocaleNumber(value.bytes, decimal_separator, number);
    default:
      return false;
  }
}

// A record takes a row when one of its fields is a number other than 0.
bool IsAccepted(const FieldList& fields, int field_count, const std::string& decimal_separator) {
  for (int i = 0; i < field_count; ++i) {
    double number = 0;
    if (IsNumber(fields.Item(i).Value(), decimal_separator, number) && number != 0) return true;
  }
  return false;
}

// The label reading of a field; false for a date or binary value, which names no class.
bool FieldLabel(const FieldValue& value, const std::string& decimal_separator, Index row,
                Index column, DataMatrix& cells, job::TextCells& labels) {
  switch (value.kind) {
    case FieldKind::kNull:
      labels.Keep(row, column, "");
      return true;
    case FieldKind::kText:
      if (!platform::ConvertLocaleNumber(value.bytes, decimal_separator, cells.At(row, column))) {
        labels.Keep(row, column, value.bytes);
      }
      return true;
    default:
      return IsNumber(value, decimal_separator, cells.At(row, column));
  }
}

// Labels are rarely numbers other than 0, so no record is passed over and no field packed.
bool ReadLabelRecords(const JobSettings& job, database::RecordSet& records, DataMatrix& values,
                      job::TextCells& labels, const std::string& path) {
  const int field_count = records.Fields().Count();
  Index count = 0;
  for (records.MoveFirst(); !records.Eof(); records.MoveNext()) ++count;
  values = DataMatrix(1, count, 1, field_count);
  labels.Dimension(values);
  for (int i = 0; i < field_count; ++i)
    labels.column_names.push_back(records.Fields().Item(i).Name());
  records.MoveFirst();
  for (Index row = 1; !records.Eof(); records.MoveNext(), ++row) {
    const FieldList fields = records.Fields();
    for (int i = 0; i < field_count; ++i) {
      if (!FieldLabel(fields.Item(i).Value(), job.DecimalSeparator, row, i + 1, values, labels)) {
        WriteLog(job.log, job::FillTemplate(job::kInvalidDataTemplate, path));
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool ReadDatabaseQuery(const JobSettings& job, const std::string& selector, DataMatrix& matrix,
                       const std::string& path, job::TextCells* labels) {
  try {
    // The connection stays open for the run's other data sets from the same file.
    std::unique_ptr<database::Connection> own;
    database::Connection& connection = database::RunConnections::OpenForReading(path, own);
    database::RecordSet records = connection.Execute(selector);
    DataMatrix values;  // stays without dimensions when there are no records
    if (!records.Eof() && labels != nullptr) {
      if (!ReadLabelRecords(job, records, values, *labels, path)) return false;
      records.Close();
    } else if (!records.Eof()) {
      records.MoveFirst();
      const int field_count = records.Fields().Count();
      Index accepted = 0;
      while (!records.Eof()) {
        if (IsAccepted(records.Fields(), field_count, job.DecimalSeparator)) ++accepted;
        records.MoveNext();
      }
      if (accepted == 0) {
        throw job::Failure("None of the records holds a number other than 0");
      }
      values = DataMatrix(1, accepted, 1, field_count);
      records.MoveFirst();
      // Numbers are packed from the first column; fields that are not numbers leave no gap.
      for (Index row = 1; !records.Eof(); records.MoveNext()) {
        const FieldList fields = records.Fields();
        if (!IsAccepted(fields, field_count, job.DecimalSeparator)) continue;
        Index column = 1;
        for (int i = 0; i < field_count; ++i) {
          double number = 0;
          if (IsNumber(fields.Item(i).Value(), job.DecimalSeparator, number)) {
            values.At(row, column++) = number;
          }
        }
        ++row;
      }
      records.Close();
    }
    database::RunConnections::EndReading(connection, own);
    matrix = std::move(values);
    return true;
  } catch (const std::exception& failure) {
    WriteLog(job.log, job::FileNameLine(path, job::DescribeFailure(failure)));
    return false;
  }
}

}  // namespace tarvex::input
