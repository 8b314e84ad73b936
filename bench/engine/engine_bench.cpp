// Speed of the network engine against FANN, trained on the same data in the same run, and (with
// --whole-job) the cost of a whole tarvex run next to the engine alone on the same job.
#include <dlfcn.h>
#include <doublefann.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/engine/activation_costs.h"
#include "bench/engine/machine_limits.h"
#include "engine/lanes.h"
#include "engine/weight_generator.h"
#include "training/network_engine.h"

namespace {

namespace fs = std::filesystem;
// Processor time of this thread: the machine may be busy with other work (a build), and that
// should slow neither side of a comparison.
struct ThreadClock {
  using duration = std::chrono::nanoseconds;
  static duration now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
  }
};
using Clock = ThreadClock;

constexpr double kLearningRate = 0.3;
constexpr double kMomentum = 0.6;
constexpr double kInitialWeights = 0.3;
// Each case runs this often, alternating the two sides, and the fastest run counts: a shared
// machine only ever makes a run slower.
constexpr int kRounds = 3;

struct Shape {
  const char* name;
  int inputs;
  int hidden;
  int outputs;
  int rows;
  int epochs;
};

constexpr Shape kShapes[] = {{"3-8-1", 3, 8, 1, 12, 100'000},
                             {"13-28-1", 13, 28, 1, 442, 2'000},
                             {"50-102-5", 50, 102, 5, 5'000, 50}};

struct ActivationPair {
  const char* name;
  std::int16_t ours;
  fann_activationfunc_enum fann;
  double low;  // the range that the product scales data into for this activation
  double high;
};

// Rows of values, one contiguous block per matrix.
struct Matrix {
  int rows = 0;
  int columns = 0;
  std::vector<double> values;
  double* Row(int r) { return values.data() + static_cast<std::size_t>(r) * columns; }
};

Matrix RandomMatrix(int rows, int columns, double low, double high,
                    tarvex::engine::WeightGenerator& generator) {
  Matrix m{rows, columns, std::vector<double>(static_cast<std::size_t>(rows) * columns)};
  const double middle = (low + high) / 2;
  for (double& v : m.values) v = middle + generator.NextWeight((high - low) / 2);
  return m;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Floating-point operations of one training step that the engine's loops do whatever their
// vector width: per weight 2 in the forward pass and 8 in the update (the change, the new weight
// and both squares), per output weight from a hidden neuron 2 more for the error sent back. The
// activations are not counted.
double FlopsPerSample(const Shape& shape) {
  const double weights = static_cast<double>(shape.hidden) * (shape.inputs + 1) +
                         static_cast<double>(shape.outputs) * (shape.hidden + 1);
  return 10 * weights + 2.0 * shape.outputs * shape.hidden;
}

// Bytes of the weight and change arrays that one training step reads and writes, rows padded to
// whole vectors as the engine keeps them: the hidden layer's weights read by the forward pass,
// then weights and changes read and written by the update; the output layer's weights read for
// the sums and for the errors, and both arrays read and written by the update.
double BytesPerSample(const Shape& shape) {
  using tarvex::engine::PaddedLength;
  const double hidden = static_cast<double>((static_cast<std::size_t>(shape.inputs) + 1) *
                                            PaddedLength(static_cast<std::size_t>(shape.hidden)));
  const double output =
      static_cast<double>(static_cast<std::size_t>(shape.outputs) *
                          PaddedLength(static_cast<std::size_t>(shape.hidden) + 1));
  return sizeof(double) * (5 * hidden + 6 * output);
}

class EngineLibrary {
 public:
  explicit EngineLibrary(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW)) {
    if (handle_ == nullptr) throw std::runtime_error(dlerror());
    create_ = reinterpret_cast<Entry>(dlsym(handle_, tarvex::training::kNetworkEngineEntry));
    if (create_ == nullptr) throw std::runtime_error(dlerror());
  }
  ~EngineLibrary() { dlclose(handle_); }
  EngineLibrary(const EngineLibrary&) = delete;
  EngineLibrary& operator=(const EngineLibrary&) = delete;

  std::unique_ptr<tarvex::training::NetworkEngine> Create() const {
    std::unique_ptr<tarvex::training::NetworkEngine> engine(create_());
    if (!engine) throw std::runtime_error("the library made no engine");
    return engine;
  }

 private:
  using Entry = tarvex::training::NetworkEngine* (*)();
  void* handle_;
  Entry create_;
};

// The training stage's loop: TrainSample and GetMinWeightDelta per row, the stop test per epoch.
// IsTargetReached(0) stops it only if the weights freeze, which would make the figure a lie.
struct OurRun {
  double seconds;
  double last_weight_delta;  // of the last step, %
};

OurRun TimeOurs(const EngineLibrary& library, const Shape& shape, std::int16_t activation,
                Matrix& inputs, Matrix& targets) {
  auto engine = library.Create();
  const std::int32_t sizes[] = {shape.hidden, shape.outputs};
  engine->CreateNetwork(2, shape.inputs, sizes, kInitialWeights, activation);
  engine->SetLearningRate(kLearningRate);
  engine->SetMomentum(kMomentum);
  double sink = 0;
  const auto start = Clock::now();
  for (int epoch = 0; epoch < shape.epochs; ++epoch) {
    for (int r = 0; r < inputs.rows; ++r) {
      engine->TrainSample({inputs.Row(r), static_cast<std::size_t>(inputs.columns)},
                          {targets.Row(r), static_cast<std::size_t>(targets.columns)});
      sink += engine->GetMinWeightDelta();
    }
    if (engine->IsTargetReached(0)) throw std::runtime_error("our engine's weights froze");
  }
  const double seconds = Seconds(Clock::now() - start);
  if (!(sink > 0)) throw std::runtime_error("our engine did not train");
  return {seconds, engine->GetMinWeightDelta()};
}

double TimeFann(const Shape& shape, fann_activationfunc_enum activation, Matrix& inputs,
                Matrix& targets) {
  fann* ann = fann_create_standard(3, shape.inputs, shape.hidden, shape.outputs);
  if (ann == nullptr) throw std::runtime_error("FANN made no network");
  fann_set_training_algorithm(ann, FANN_TRAIN_INCREMENTAL);
  fann_set_learning_rate(ann, static_cast<float>(kLearningRate));
  fann_set_learning_momentum(ann, static_cast<float>(kMomentum));
  fann_set_activation_function_hidden(ann, activation);
  fann_set_activation_function_output(ann, activation);
  fann_randomize_weights(ann, -kInitialWeights, kInitialWeights);
  const auto start = Clock::now();
  for (int epoch = 0; epoch < shape.epochs; ++epoch) {
    for (int r = 0; r < inputs.rows; ++r) fann_train(ann, inputs.Row(r), targets.Row(r));
  }
  const double seconds = Seconds(Clock::now() - start);
  fann_destroy(ann);
  return seconds;
}

void CompareWithFann(const EngineLibrary& library, const tarvex::bench::PeakRates& peak) {
  const Shape(&shapes)[3] = kShapes;
  const ActivationPair activations[] = {{"tanh", 2, FANN_SIGMOID_SYMMETRIC, -0.9, 0.9},
                                        {"logistic", 1, FANN_SIGMOID, 0.1, 0.9}};
  std::printf(
      "Training speed, samples per second of processor time, best of %d (lr %.1f, m %.1f, "
      "weights in +-%.1f)\n",
      kRounds, kLearningRate, kMomentum, kInitialWeights);
  std::printf("%-10s %-9s %10s %12s %12s %10s %9s %8s %9s\n", "shape", "function", "samples",
              "ours", "FANN", "ours/FANN", "GFLOP/s", "of peak", "last wd");
  double largest_shape_rate = 0;  // the faster function's, for the bandwidth figure below
  for (const Shape& shape : shapes) {
    for (const ActivationPair& activation : activations) {
      tarvex::engine::WeightGenerator generator(20240611);
      Matrix inputs =
          RandomMatrix(shape.rows, shape.inputs, activation.low, activation.high, generator);
      Matrix targets =
          RandomMatrix(shape.rows, shape.outputs, activation.low, activation.high, generator);
      const double samples = static_cast<double>(shape.rows) * shape.epochs;
      double ours_seconds = INFINITY, fann_seconds = INFINITY, last_weight_delta = 0;
      for (int round = 0; round < kRounds; ++round) {
        const OurRun run = TimeOurs(library, shape, activation.ours, inputs, targets);
        ours_seconds = std::min(ours_seconds, run.seconds);
        last_weight_delta = run.last_weight_delta;
        fann_seconds = std::min(fann_seconds, TimeFann(shape, activation.fann, inputs, targets));
      }
      const double ours = samples / ours_seconds;
      const double fann = samples / fann_seconds;
      const double flops = ours * FlopsPerSample(shape);
      std::printf("%-10s %-9s %10.0f %12.0f %12.0f %10.2f %9.1f %7.0f%% %9.1e\n", shape.name,
                  activation.name, samples, ours, fann, ours / fann, flops * 1e-9,
                  100 * flops / peak.multiply_add, last_weight_delta);
      std::fflush(stdout);
      if (&shape == &shapes[2]) largest_shape_rate = std::max(largest_shape_rate, ours);
    }
  }
  std::printf(
      "(GFLOP/s: the loops' multiplications and additions, activations not counted; of peak: of "
      "the %.1f GFLOP/s measured for separate multiplications and additions, the engine's "
      "arithmetic. With fused multiply-adds the core peaks at %.1f GFLOP/s. last wd: our "
      "network's weight delta in %% at its last step; one near 0 has stopped learning, its "
      "neurons stuck at the ends of their range, where an output neuron's activation skips e^x "
      "and the division.)\n",
      peak.multiply_add * 1e-9, peak.fused * 1e-9);

  const Shape& largest = shapes[2];
  const double hidden_layer =
      static_cast<double>((largest.inputs + 1) *
                          tarvex::engine::PaddedLength(static_cast<std::size_t>(largest.hidden)));
  const double bandwidth =
      tarvex::bench::MeasureSweepBandwidth(static_cast<std::size_t>(hidden_layer));
  // Two arrays that fit the first-level cache together with everything else.
  const double first_level = tarvex::bench::MeasureSweepBandwidth(2048);
  const double moved = largest_shape_rate * BytesPerSample(largest);
  std::printf(
      "\n%s: %.1f KB of weights and changes read and written per step (two arrays of %.1f KB for "
      "the hidden layer), %.1f GB/s at the faster function. The same sweep moves %.1f GB/s over "
      "two arrays of that size (%.0f%%), %.1f GB/s over two of 16 KB that stay in the first-level "
      "cache (%.0f%%).\n",
      largest.name, BytesPerSample(largest) / 1e3, hidden_layer * sizeof(double) / 1e3,
      moved * 1e-9, bandwidth * 1e-9, 100 * moved / bandwidth, first_level * 1e-9,
      100 * moved / first_level);
}

// Our engine alone on every activation code and shape, the codes taking turns in short runs so
// that the machine's other work falls on all of them alike, the fastest run of each counting.
// Each code trains on data in its range (as the product scales it) at the learning rate of the
// table above, or 0.01 with a linear output layer, which 0.3 drives to overflow.
void CompareActivationCodes(const EngineLibrary& library) {
  constexpr int kCodes = 6;
  constexpr int kTurns = 7;
  const double ranges[3][2] = {{-0.4, 0.4}, {0.1, 0.9}, {-0.9, 0.9}};
  std::printf(
      "\nOur engine by activation code, samples per second of processor time (best of %d short "
      "runs, the codes taking turns; lr %.1f, 0.01 for codes 3 to 5; wd: the last step's weight "
      "delta in %%)\n",
      kTurns, kLearningRate);
  std::printf("%-10s", "shape");
  for (int code = 0; code < kCodes; ++code) std::printf(" %10s%d", "af=", code);
  std::printf("\n");
  for (const Shape& shape : kShapes) {
    struct Case {
      std::unique_ptr<tarvex::training::NetworkEngine> engine;
      Matrix inputs;
      Matrix targets;
      double best = INFINITY;
      bool diverged = false;
    };
    std::vector<Case> cases;
    for (int code = 0; code < kCodes; ++code) {
      tarvex::engine::WeightGenerator generator(20240611);
      const double low = ranges[code % 3][0], high = ranges[code % 3][1];
      Case c{library.Create(), RandomMatrix(shape.rows, shape.inputs, low, high, generator),
             RandomMatrix(shape.rows, shape.outputs, low, high, generator)};
      const std::int32_t sizes[] = {shape.hidden, shape.outputs};
      c.engine->CreateNetwork(2, shape.inputs, sizes, kInitialWeights,
                              static_cast<std::int16_t>(code));
      c.engine->SetLearningRate(code >= 3 ? 0.01 : kLearningRate);
      c.engine->SetMomentum(kMomentum);
      cases.push_back(std::move(c));
    }
    // A tenth of the table's training per run.
    const int epochs = std::max(1, shape.epochs / 10);
    for (int turn = 0; turn < kTurns; ++turn) {
      for (Case& c : cases) {
        if (c.diverged) continue;
        const auto start = Clock::now();
        try {
          for (int epoch = 0; epoch < epochs; ++epoch) {
            for (int r = 0; r < shape.rows; ++r) {
              c.engine->TrainSample(
                  {c.inputs.Row(r), static_cast<std::size_t>(c.inputs.columns)},
                  {c.targets.Row(r), static_cast<std::size_t>(c.targets.columns)});
              c.engine->GetMinWeightDelta();
            }
          }
        } catch (const std::overflow_error&) {
          c.diverged = true;
          continue;
        }
        c.best = std::min(c.best, Seconds(Clock::now() - start));
      }
    }
    const double samples = static_cast<double>(shape.rows) * epochs;
    std::printf("%-10s", shape.name);
    for (const Case& c : cases) {
      if (c.diverged) {
        std::printf(" %11s", "overflow");
      } else {
        std::printf(" %11.0f", samples / c.best);
      }
    }
    std::printf("\n%-10s", "  wd");
    for (const Case& c : cases) {
      if (c.diverged) {
        std::printf(" %11s", "-");
      } else {
        std::printf(" %11.1e", c.engine->GetMinWeightDelta());
      }
    }
    std::printf("\n");
    std::fflush(stdout);
  }
}

void WriteTable(const fs::path& path, Matrix& m) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "w"), std::fclose);
  if (!file) throw std::runtime_error("cannot write " + path.string());
  for (int r = 0; r < m.rows; ++r) {
    for (int c = 0; c < m.columns; ++c) {
      std::fprintf(file.get(), c == 0 ? "%.17g" : "\t%.17g", m.Row(r)[c]);
    }
    std::fputc('\n', file.get());
  }
}

// What tarvex's loader does with af=2: each column's maximum to -0.9, its minimum to 0.9.
Matrix ScaledLikeTarvex(const Matrix& m, const Matrix& ranges_from) {
  Matrix scaled = m;
  for (int c = 0; c < m.columns; ++c) {
    double low = ranges_from.values[c], high = low;
    for (int r = 0; r < ranges_from.rows; ++r) {
      low = std::min(low, ranges_from.values[static_cast<std::size_t>(r) * m.columns + c]);
      high = std::max(high, ranges_from.values[static_cast<std::size_t>(r) * m.columns + c]);
    }
    for (int r = 0; r < m.rows; ++r) {
      double& v = scaled.Row(r)[c];
      v = (v - high) / (low - high) * (0.9 - -0.9) + -0.9;
    }
  }
  return scaled;
}

struct TempFolder {
  TempFolder() {
    char pattern[] = "/tmp/tarvex-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  fs::path path;
};

struct RunResult {
  int status;
  double seconds;  // processor time, user and system
};

RunResult RunProgram(const fs::path& program, const fs::path& folder, const std::string& argument) {
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("LC_ALL", "C", 1);  // the files use "." as the decimal separator
    execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
  }
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
          seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// Shape (b) as a real job: tarvex loads, checks, scales, trains 2,000 epochs, predicts and
// writes; the engine alone does the same training and prediction on the same scaled data.
void CompareWholeJob(const EngineLibrary& library, const fs::path& tarvex) {
  constexpr int kEpochs = 2000;
  tarvex::engine::WeightGenerator generator(20240612);
  Matrix train_in = RandomMatrix(442, 13, 0, 200, generator);
  Matrix train_out = RandomMatrix(442, 1, 25, 350, generator);
  Matrix predict_in = RandomMatrix(100, 13, 0, 200, generator);

  const TempFolder temp;
  const fs::path& folder = temp.path;
  WriteTable(folder / "ti.txt", train_in);
  WriteTable(folder / "to.txt", train_out);
  WriteTable(folder / "pi.txt", predict_in);
  {
    std::unique_ptr<FILE, int (*)(FILE*)> ini(std::fopen((folder / "job.ini").c_str(), "w"),
                                              std::fclose);
    if (!ini) throw std::runtime_error("cannot write job.ini");
    std::fprintf(ini.get(),
                 "[Parameter]\n/tif=ti.txt\n/tof=to.txt\n/pif=pi.txt\n/pof=po.txt\n/log=run.log\n"
                 "/ep=%d\n/wd=0\n/af=2\n",
                 kEpochs);
  }

  Matrix inputs = ScaledLikeTarvex(train_in, train_in);
  Matrix targets = ScaledLikeTarvex(train_out, train_out);
  Matrix predict = ScaledLikeTarvex(predict_in, train_in);
  // Best of three for both, as for the engine table: the machine may be busy with other work.
  double engine_seconds = 1e300;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto engine_start = Clock::now();
    auto engine = library.Create();
    const std::int32_t sizes[] = {2 * 13 + 2, 1};
    engine->CreateNetwork(2, 13, sizes, kInitialWeights, 2);
    engine->SetLearningRate(kLearningRate);
    engine->SetMomentum(kMomentum);
    for (int epoch = 0; epoch < kEpochs; ++epoch) {
      for (int r = 0; r < inputs.rows; ++r) {
        engine->TrainSample({inputs.Row(r), 13}, {targets.Row(r), 1});
        engine->GetMinWeightDelta();
      }
      if (engine->IsTargetReached(0)) break;
    }
    for (int r = 0; r < predict.rows; ++r) {
      engine->SetInputs({predict.Row(r), 13});
      engine->ComputeOutputs();
      engine->GetOutputs();
    }
    engine_seconds = std::min(engine_seconds, Seconds(Clock::now() - engine_start));
  }

  std::printf("\nWhole job, shape 13-28-1, 442 rows, %d epochs, af=2 (processor time)\n", kEpochs);
  std::printf("engine alone: %.3f s\n", engine_seconds);
  if (!fs::exists(tarvex)) {
    std::printf("tarvex: not found at %s; whole-job timing skipped\n", tarvex.c_str());
  } else {
    std::fflush(stdout);
    RunResult run = RunProgram(tarvex, folder, "/ini=job.ini");
    for (int attempt = 1; attempt < 3 && run.status == 0; ++attempt) {
      RunResult again = RunProgram(tarvex, folder, "/ini=job.ini");
      if (again.status != 0 || again.seconds < run.seconds) run = again;
    }
    if (run.status != 0) {
      std::printf("tarvex: exit status %d; whole-job timing skipped\n", run.status);
      std::fflush(stdout);
      std::ifstream log(folder / "run.log", std::ios::binary);
      if (log.peek() == std::ifstream::traits_type::eof()) {
        std::printf("(it wrote no run log)\n");
      } else {
        std::cout << "Its run log:\n" << log.rdbuf() << std::endl;
      }
      return;
    }
    std::printf("tarvex:       %.3f s\nratio tarvex / engine alone: %.3f\n", run.seconds,
                run.seconds / engine_seconds);
  }
}

// A classifier's step against a regression step of the same shape (softmax and the weighted
// cross-entropy instead of the output activation and the squared error) and against FANN's
// incremental step, on the shapes of the gene and soybean sets with one-hot targets.
void CompareClassifiers(const EngineLibrary& library) {
  const Shape shapes[] = {{"120-242-3", 120, 242, 3, 1000, 6}, {"82-166-19", 82, 166, 19, 342, 30}};
  std::printf("\nClassifier steps, samples per second of processor time, best of %d (logistic hidden "
              "layer, one-hot targets)\n",
              kRounds);
  std::printf("%-10s %12s %12s %12s %14s %12s\n", "shape", "classifier", "regression", "FANN",
              "class/regr.", "class/FANN");
  for (const Shape& shape : shapes) {
    tarvex::engine::WeightGenerator generator(20261208);
    Matrix inputs = RandomMatrix(shape.rows, shape.inputs, -0.4, 0.4, generator);
    Matrix targets{shape.rows, shape.outputs,
                   std::vector<double>(static_cast<std::size_t>(shape.rows) * shape.outputs)};
    for (int r = 0; r < shape.rows; ++r) targets.Row(r)[r % shape.outputs] = 1.0;
    double classifier = INFINITY, regression = INFINITY, fann = INFINITY;
    for (int round = 0; round < kRounds; ++round) {
      auto engine = library.Create();
      engine->CreateClassifier(shape.inputs, shape.hidden, shape.outputs, kInitialWeights, 1);
      engine->SetLearningRate(kLearningRate);
      engine->SetMomentum(kMomentum);
      const auto start = Clock::now();
      for (int epoch = 0; epoch < shape.epochs; ++epoch) {
        for (int r = 0; r < inputs.rows; ++r) {
          engine->TrainClassSample({inputs.Row(r), static_cast<std::size_t>(inputs.columns)},
                                   {targets.Row(r), static_cast<std::size_t>(targets.columns)},
                                   1.0);
        }
      }
      classifier = std::min(classifier, Seconds(Clock::now() - start));
      regression = std::min(regression, TimeOurs(library, shape, 1, inputs, targets).seconds);
      fann = std::min(fann, TimeFann(shape, FANN_SIGMOID, inputs, targets));
    }
    const double samples = static_cast<double>(shape.rows) * shape.epochs;
    std::printf("%-10s %12.0f %12.0f %12.0f %14.2f %12.2f\n", shape.name, samples / classifier,
                samples / regression, samples / fann, classifier / regression, fann / classifier);
    std::fflush(stdout);
  }
  std::printf("(class/regr.: the time of a classifier's epoch over a regression epoch's; "
              "class/FANN: the classifier's samples per second over FANN's)\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string library_path = TARVEX_ENGINE_LIBRARY;
  std::string tarvex;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--library" && i + 1 < argc) {
      library_path = argv[++i];
    } else if (argument == "--whole-job" && i + 1 < argc) {
      tarvex = std::filesystem::absolute(argv[++i]);  // it runs in the job's folder
    } else {
      std::fprintf(stderr, "usage: %s [--library PATH] [--whole-job TARVEX]\n", argv[0]);
      return 2;
    }
  }
  try {
    const EngineLibrary library(library_path);
    if (tarvex.empty()) {
      CompareWithFann(library, tarvex::bench::MeasurePeakRates());
      CompareClassifiers(library);
      CompareActivationCodes(library);
      tarvex::bench::PrintActivationCosts();
    } else {
      CompareWholeJob(library, tarvex);
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "engine_bench: %s\n", failure.what());
    return 1;
  }
  return 0;
}
