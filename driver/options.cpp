#include "driver/options.h"

#include <cmath>
#include <limits>

#include "job/parse_number.h"
#include "platform/number_text.h"
#include "platform/paths.h"

namespace tarvex::driver {

using job::Failure;
using job::JobSettings;

namespace {

template <double JobSettings::*field>
void Decimal(JobSettings& job, std::string_view value) {
  // A value that is not a number leaves the setting as it was.
  job::ParseNumber(value, job.*field, job.DecimalSeparator);
}

template <std::int32_t JobSettings::*field>
void Whole(JobSettings& job, std::string_view value) {
  ConvertWholeNumber(value, job.DecimalSeparator, job.*field);
}

template <std::int16_t JobSettings::*field>
void Short(JobSettings& job, std::string_view value) {
  std::int32_t number;
  if (!ConvertWholeNumber(value, job.DecimalSeparator, number)) return;
  if (number < std::numeric_limits<std::int16_t>::min() ||
      number > std::numeric_limits<std::int16_t>::max()) {
    throw Failure(job::kOverflow);
  }
  job.*field = static_cast<std::int16_t>(number);
}

template <std::string JobSettings::*field>
void Path(JobSettings& job, std::string_view value) {
  job.*field = ApplyProgramFolderRule(value, platform::ProgramFolder());
}

template <std::string JobSettings::*field>
void Text(JobSettings& job, std::string_view value) {
  job.*field = value;
}

constexpr OptionRow kCommandLine[] = {
    {"lr", Decimal<&JobSettings::lr>},  {"m", Decimal<&JobSettings::m>},
    {"wd", Decimal<&JobSettings::wd>},  {"ep", Whole<&JobSettings::ep>},
    {"af", Short<&JobSettings::af>},    {"n", Whole<&JobSettings::n>},
    {"iw", Decimal<&JobSettings::iw>},  {"tif", Path<&JobSettings::tif>},
    {"tof", Path<&JobSettings::tof>},   {"pif", Path<&JobSettings::pif>},
    {"log", Path<&JobSettings::log>},   {"pof", Text<&JobSettings::pof>},
    {"tiv", Text<&JobSettings::tiv>},   {"tov", Text<&JobSettings::tov>},
    {"piv", Text<&JobSettings::piv>},   {"tifh", Text<&JobSettings::tifh>},
    {"tofh", Text<&JobSettings::tofh>}, {"pifh", Text<&JobSettings::pifh>},
    {"tis", Text<&JobSettings::tifh>},  {"tos", Text<&JobSettings::tofh>},
    {"pis", Text<&JobSettings::pifh>},  {"pos", Text<&JobSettings::pos>},
    {"ini", Path<&JobSettings::ini>},   {"nof", Path<&JobSettings::nof>},
    {"nif", Path<&JobSettings::nif>},   {"vif", Path<&JobSettings::vif>},
    {"vof", Path<&JobSettings::vof>},   {"viv", Text<&JobSettings::viv>},
    {"vov", Text<&JobSettings::vov>},   {"vifh", Text<&JobSettings::vifh>},
    {"vofh", Text<&JobSettings::vofh>}, {"vis", Text<&JobSettings::vifh>},
    {"vos", Text<&JobSettings::vofh>},  {"vf", Text<&JobSettings::vf>},
    {"es", Text<&JobSettings::es>},     {"sd", Text<&JobSettings::sd>},
    {"lcf", Path<&JobSettings::lcf>},   {"sof", Path<&JobSettings::sof>},
    {"cv", Text<&JobSettings::cv>},     {"rof", Path<&JobSettings::rof>},
    {"onnx", Path<&JobSettings::onnx>}, {"onnxf", Text<&JobSettings::onnxf>},
};

// "/log" comes first so that every later message of the run goes to the log the file names;
// "/tis" and friends come after "/tifh" and so win when both are given. The texts of "/vf",
// "/es", "/sd" and "/cv" are checked once every option is read.
constexpr OptionRow kParameterFile[] = {
    {"/log", Path<&JobSettings::log>},     {"/lr", Decimal<&JobSettings::lr>},
    {"/m", Decimal<&JobSettings::m>},      {"/wd", Decimal<&JobSettings::wd>},
    {"/ep", Whole<&JobSettings::ep>},      {"/af", Short<&JobSettings::af>},
    {"/n", Whole<&JobSettings::n>},        {"/iw", Decimal<&JobSettings::iw>},
    {"/tif", Path<&JobSettings::tif>},     {"/tof", Path<&JobSettings::tof>},
    {"/pif", Path<&JobSettings::pif>},     {"/pof", Text<&JobSettings::pof>},
    {"/tiv", Text<&JobSettings::tiv>},     {"/tov", Text<&JobSettings::tov>},
    {"/piv", Text<&JobSettings::piv>},     {"/tifh", Text<&JobSettings::tifh>},
    {"/tofh", Text<&JobSettings::tofh>},   {"/pifh", Text<&JobSettings::pifh>},
    {"/tis", Text<&JobSettings::tifh>},    {"/tos", Text<&JobSettings::tofh>},
    {"/pis", Text<&JobSettings::pifh>},    {"/pos", Text<&JobSettings::pos>},
    {"/nof", Path<&JobSettings::nof>},     {"/nif", Path<&JobSettings::nif>},
    {"/vif", Path<&JobSettings::vif>},     {"/vof", Path<&JobSettings::vof>},
    {"/viv", Text<&JobSettings::viv>},     {"/vov", Text<&JobSettings::vov>},
    {"/vifh", Text<&JobSettings::vifh>},   {"/vofh", Text<&JobSettings::vofh>},
    {"/vis", Text<&JobSettings::vifh>},    {"/vos", Text<&JobSettings::vofh>},
    {"/vf", Text<&JobSettings::vf>},       {"/es", Text<&JobSettings::es>},
    {"/sd", Text<&JobSettings::sd>},       {"/lcf", Path<&JobSettings::lcf>},
    {"/sof", Path<&JobSettings::sof>},     {"/cv", Text<&JobSettings::cv>},
    {"/rof", Path<&JobSettings::rof>},     {"/onnx", Path<&JobSettings::onnx>},
    {"/onnxf", Text<&JobSettings::onnxf>},
};

}  // namespace

std::span<const OptionRow> CommandLineOptions() { return kCommandLine; }
std::span<const OptionRow> ParameterFileOptions() { return kParameterFile; }

std::string ApplyProgramFolderRule(std::string_view path, std::string_view program_folder) {
  if (path.starts_with(".\\")) return std::string(program_folder) + std::string(path.substr(1));
  return std::string(path);
}

bool ConvertWholeNumber(std::string_view value, std::string_view decimal_separator,
                        std::int32_t& number) {
  double parsed;
  if (!platform::ConvertLocaleNumber(value, decimal_separator, parsed)) return false;
  double rounded = std::nearbyint(parsed);  // the default rounding mode sends halves to even
  if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
        rounded <= std::numeric_limits<std::int32_t>::max())) {
    throw Failure(job::kOverflow);
  }
  number = static_cast<std::int32_t>(rounded);
  return true;
}

}  // namespace tarvex::driver
