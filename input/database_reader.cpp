#include "input/database_reader.h"

#include <exception>

#include "database/connection.h"
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

}  // namespace

bool ReadDatabaseQuery(const JobSettings& job, const std::string& selector, DataMatrix& matrix,
                       const std::string& path) {
  try {
    database::Connection connection;
    connection.Provider(database::kJetProvider);
    connection.ConnectionString(path);
    connection.Mode(database::ConnectMode::kRead);  // reading training data never changes it
    connection.Open();
    database::RecordSet records = connection.Execute(selector);
    DataMatrix values;  // stays without dimensions when there are no records
    if (!records.Eof()) {
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
    connection.Close();
    matrix = std::move(values);
    return true;
  } catch (const std::exception& failure) {
    WriteLog(job.log, job::FileNameLine(path, job::DescribeFailure(failure)));
    return false;
  }
}

}  // namespace tarvex::input
