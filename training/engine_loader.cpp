#include "training/engine_loader.h"

#include <dlfcn.h>

#include "job/failure.h"

namespace tarvex::training {

using job::Failure;

namespace {

std::string LoaderError(const char* fallback) {
  const char* text = dlerror();
  return text != nullptr ? text : fallback;
}

}  // namespace

EngineComponent::EngineComponent(const std::string& folder) {
  const std::string path = folder + "/" + training::kNetworkEngineLibrary;
  library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) throw Failure(LoaderError("The network engine could not be loaded."));
  using Create = training::NetworkEngine* (*)();
  auto create = reinterpret_cast<Create>(dlsym(library_, training::kNetworkEngineEntry));
  if (create == nullptr) {
    std::string description = LoaderError("The network engine has no entry point.");
    dlclose(library_);
    throw Failure(description);
  }
  engine_.reset(create());
  if (!engine_) {
    dlclose(library_);
    throw Failure("The network engine could not be created.");
  }
}

EngineComponent::~EngineComponent() {
  engine_.reset();  // the engine's code lives in the library: release it first
  dlclose(library_);
}

}  // namespace tarvex::training
