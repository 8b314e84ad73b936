// Reading and writing compound document streams through libgsf, after the structural check.
#include "workbook/compound/compound_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <mutex>

#include "platform/large_memory.h"
#include "platform/text.h"
#include "workbook/compound/compound_check.h"
#include "workbook/compound/compound_error.h"

namespace tarvex::workbook::compound {

namespace {

// Owns one GObject reference.
template <typename T>
class Ref {
 public:
  explicit Ref(T* object = nullptr) : object_(object) {}
  ~Ref() {
    if (object_) g_object_unref(object_);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return object_; }

 private:
  T* object_;
};

// The program prints nothing; the library's warnings about odd documents would reach stderr.
void Quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    gsf_init();
    g_log_set_handler("libgsf", static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK), Quiet, nullptr);
  });
}

[[noreturn]] void WriteFailed() {
  throw CompoundError("The compound document could not be written again (libgsf)");
}

void Close(GsfOutput* output) {
  if (!gsf_output_close(output)) WriteFailed();
}

// Copies the children of one storage; at the top level the stream named replaced gets content.
void CopyChildren(GsfInfile* from, GsfOutfile* to, const std::string* replaced,
                  std::string_view content) {
  int count = gsf_infile_num_children(from);
  for (int i = 0; i < count; ++i) {
    const char* name = gsf_infile_name_by_index(from, i);
    Ref<GsfInput> child(gsf_infile_child_by_index(from, i));
    if (!name || !child.get()) {
      throw CompoundError("A storage of the compound document cannot be read (libgsf)");
    }
    GsfInfile* storage = GSF_IS_INFILE(child.get()) ? GSF_INFILE(child.get()) : nullptr;
    bool is_storage = storage && gsf_infile_num_children(storage) >= 0;
    Ref<GsfOutput> copy(gsf_outfile_new_child(to, name, is_storage));
    if (!copy.get()) WriteFailed();
    if (is_storage) {
      guint8 class_id[16];
      if (GSF_IS_INFILE_MSOLE(storage) &&
          gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(storage), class_id)) {
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(copy.get()), class_id);
      }
      CopyChildren(storage, GSF_OUTFILE(copy.get()), nullptr, {});
    } else if (replaced && *replaced == name) {
      if (!gsf_output_write(copy.get(), content.size(),
                            reinterpret_cast<const guint8*>(content.data()))) {
        WriteFailed();
      }
    } else if (!gsf_input_copy(child.get(), copy.get())) {
      throw CompoundError(std::string("The stream '") + name +
                          "' of the compound document cannot be read (libgsf)");
    }
    Close(copy.get());
  }
}

}  // namespace

struct CompoundFile::Library {
  Ref<GsfInput> input;
  Ref<GsfInfile> root;
  Library(GsfInput* in, GsfInfile* file) : input(in), root(file) {}
};

CompoundFile::CompoundFile(const std::string& native_path) {
  try {
    file_ = std::make_unique<platform::FileText>(native_path);
  } catch (const platform::SystemError& error) {
    throw CompoundError(error.what());
  }
  std::string_view bytes = file_->view();
  CheckCompoundDocument(bytes);
  InitLibrary();
  GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                         static_cast<gsf_off_t>(bytes.size()), FALSE);
  if (!input) throw CompoundError("The compound document cannot be read (libgsf)");
  GError* error = nullptr;
  GsfInfile* root = gsf_infile_msole_new(input, &error);
  library_ = std::make_unique<Library>(input, root);
  if (!root) {
    std::string why = error && error->message ? error->message : "unknown failure";
    if (error) g_error_free(error);
    throw CompoundError("The compound document cannot be read: " + why);
  }
}

CompoundFile::~CompoundFile() = default;

std::optional<std::string> CompoundFile::FindStream(std::string_view name) const {
  int count = gsf_infile_num_children(library_->root.get());
  for (int i = 0; i < count; ++i) {
    const char* found = gsf_infile_name_by_index(library_->root.get(), i);
    if (found && platform::EqualIgnoringAsciiCase(found, name)) return std::string(found);
  }
  return std::nullopt;
}

std::string CompoundFile::ReadStream(const std::string& name) const {
  Ref<GsfInput> stream(gsf_infile_child_by_name(library_->root.get(), name.c_str()));
  if (!stream.get()) {
    throw CompoundError("The stream '" + name + "' of the compound document cannot be read");
  }
  gsf_off_t size = gsf_input_size(stream.get());
  std::string content;
  platform::ResizeLarge(content, static_cast<size_t>(size));
  if (size > 0 &&
      !gsf_input_read(stream.get(), content.size(), reinterpret_cast<guint8*>(content.data()))) {
    throw CompoundError("The stream '" + name + "' of the compound document cannot be read");
  }
  return content;
}

std::string CompoundFile::WithStream(const std::string& name, std::string_view content) const {
  Ref<GsfOutput> sink(gsf_output_memory_new());
  {
    Ref<GsfOutfile> document(gsf_outfile_msole_new(sink.get()));
    if (!document.get()) WriteFailed();
    guint8 class_id[16];
    if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(library_->root.get()), class_id)) {
      gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(document.get()), class_id);
    }
    CopyChildren(library_->root.get(), document.get(), &name, content);
    Close(GSF_OUTPUT(document.get()));
  }
  if (!gsf_output_is_closed(sink.get())) Close(sink.get());
  const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
  gsf_off_t size = gsf_output_size(sink.get());
  if (!bytes && size > 0) WriteFailed();
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
}

}  // namespace tarvex::workbook::compound
