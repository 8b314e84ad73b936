#include "netfile/network_json.h"

#include <algorithm>
#include <new>
#include <vector>

#include "netfile/network_file_error.h"
#include "platform/text.h"

namespace tarvex::netfile {

namespace {

// What the parser has open: a list, or an object with the fields read so far.
struct Open {
  bool list = false;
  std::size_t items = 0;
  std::vector<std::string> fields;
};

class Bounds {
 public:
  explicit Bounds(std::uint64_t memory) : memory_(memory) {}

  bool Take(Json::parse_event_t event, const Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        Item(kBytesPerValue);
        if (open_.size() >= static_cast<std::size_t>(kMostNesting)) {
          throw NetworkFileError("Field " + Where(open_.size()) + ": more than " +
                                 std::to_string(kMostNesting) +
                                 " lists and objects inside one another");
        }
        open_.push_back({event == Json::parse_event_t::array_start, 0, {}});
        break;
      case Json::parse_event_t::object_end:
      case Json::parse_event_t::array_end:
        open_.pop_back();
        break;
      case Json::parse_event_t::key:
        Field(parsed.get_ref<const std::string&>());
        break;
      case Json::parse_event_t::value:
        Item(kBytesPerValue +
             (parsed.is_string() ? parsed.get_ref<const std::string&>().size() : 0));
        break;
    }
    return true;
  }

 private:
  // A value begins: counted in its list and in the memory.
  void Item(std::uint64_t bytes) {
    if (!open_.empty() && open_.back().list) ++open_.back().items;
    used_ += bytes;
    if (used_ > memory_) throw NetworkFileError(ReadingOutOfMemory(memory_));
  }

  void Field(const std::string& key) {
    std::vector<std::string>& fields = open_.back().fields;
    for (const std::string& field : fields) {
      if (field == key)
        throw NetworkFileError("Duplicate field: " + Where(open_.size() - 1) + Joined(key));
    }
    if (fields.size() == kMostFields) {
      throw NetworkFileError(
          (open_.size() == 1 ? std::string("The file") : "Field " + Where(open_.size() - 1)) +
          " has more than " + std::to_string(kMostFields) + " fields");
    }
    fields.push_back(key);
    // The field's name and value, and the room its object grows into.
    used_ += 2 * kBytesPerValue + key.size();
  }

  std::string Joined(const std::string& key) const {
    return (open_.size() > 1 ? "." : "") + Printable(key);
  }

  // The place inside the outermost levels that are open, as the network file's complaints name
  // fields: layout.hidden, hidden_layer.weights[2].
  std::string Where(std::size_t levels) const {
    std::string path;
    for (std::size_t i = 0; i < levels; ++i) {
      const Open& open = open_[i];
      if (open.list) {
        path += "[" + std::to_string(open.items - 1) + "]";
      } else {
        path += (path.empty() ? "" : ".") + Printable(open.fields.back());
      }
    }
    return path;
  }

  std::uint64_t memory_;
  std::uint64_t used_ = 0;
  std::vector<Open> open_;
};

// The library's messages open with "[json.exception.parse_error.101] "; the rest says it.
std::string LibraryText(const nlohmann::json::exception& failure) {
  std::string text = failure.what();
  const std::size_t end = text.find("] ");
  // The message quotes the token, which may be a million digits long.
  return platform::CutText(end == std::string::npos ? text : text.substr(end + 2), kMostQuoted);
}

}  // namespace

Json ParseBoundedJson(std::string_view text, std::uint64_t memory) {
  // Every value but the first of a list or an object follows a comma, and every list and object
  // opens with a bracket: what cannot fit is refused without parsing it first.
  const auto most_values = static_cast<std::uint64_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return c == ',' || c == '[' || c == '{'; }));
  if ((most_values + 1) * kBytesPerValue > memory) {
    throw NetworkFileError(ReadingOutOfMemory(memory));
  }
  Bounds bounds(memory);
  try {
    return Json::parse(text, [&bounds](int, Json::parse_event_t event, Json& parsed) {
      return bounds.Take(event, parsed);
    });
  } catch (const nlohmann::json::out_of_range& failure) {
    // The one kind the parser has: a number beyond the range of a double.
    throw NetworkFileError("Not a finite number: " + LibraryText(failure));
  } catch (const nlohmann::json::exception& failure) {
    throw NetworkFileError("Not a JSON text: " + LibraryText(failure));
  } catch (const std::bad_alloc&) {
    throw NetworkFileError(ReadingOutOfMemory(memory));
  }
}

std::string Printable(std::string_view key) {
  std::string text = platform::CutText(key, kMostQuoted);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return text;
}

}  // namespace tarvex::netfile
