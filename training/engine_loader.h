// The network engine component: loaded from the program folder when training starts, released
// when the stage ends.
#pragma once

#include <memory>
#include <string>

#include "training/network_engine.h"

namespace tarvex::training {

class EngineComponent {
 public:
  // Loads libnetworkengine.so from folder and creates an engine; throws Failure with the
  // loader's description when either fails.
  explicit EngineComponent(const std::string& folder);
  ~EngineComponent();
  EngineComponent(const EngineComponent&) = delete;
  EngineComponent& operator=(const EngineComponent&) = delete;

  training::NetworkEngine& engine() { return *engine_; }

 private:
  void* library_ = nullptr;
  std::unique_ptr<training::NetworkEngine> engine_;
};

}  // namespace tarvex::training
