// One loaded ".TOB" scenario script: the file's bytes in guest memory (embedded main-script code,
// its linked bytes and the texts that argument slots point at are guest addresses), its label
// index and its message-offset table. The layout is checked once at load, so everything the
// interpreter later takes from the header (labels, message offsets) lies inside the code.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

class GuestMemory;
class ScriptFileSource;

// ParseTob
constexpr int kTobDone = 0;
constexpr int kTobNotFound = 1;
constexpr int kTobBadFile = 2;  // another magic, or a header that does not fit the file
constexpr int kTobNoMemory = 3;

// A jump (control functions 0-3) or a "[s" statement as read on an earlier turn, so that a loop
// reads its fields once. Operands that change from turn to turn (variables, expressions) are
// kept as where to find them, not as values.
struct TgsDecodedOperand {
  enum Form : uint8_t { kConstant, kVariable, kExpression };
  Form form = kConstant;
  uint32_t a = 0;  // the constant, the variable's bank or the expression's linked code
  uint32_t b = 0;  // the variable's index
};
struct TgsDecodedStep {
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  static constexpr size_t kMaxBodies = 2;
  uint32_t position = kEmpty;  // of the "["
  uint32_t next = 0;           // behind a statement; a jump's end
  bool statement = false;
  bool invert = false;          // function 0 runs when its condition is false
  bool hasTarget = false;       // the jump has its slot
  TgsDecodedOperand condition;  // a statement's code is condition.a
  TgsDecodedOperand target;
  // The bytecode the step runs as it stands, [from, to) of the code, in order: its fingerprint
  // leaves them out, since main-script code rewrites its own operands.
  std::array<std::array<uint32_t, 2>, kMaxBodies> bodies{};
  uint8_t bodyCount = 0;
  uint64_t fingerprint = 0;  // of the rest of its bytes, as they were read
};

class TgsScript {
 public:
  // Reads the file at path from files straight into a new guest block (with a guard NUL behind
  // it) and checks its layout; kTobDone and script set, else kTobNotFound, kTobBadFile or
  // kTobNoMemory.
  static int Load(GuestMemory& memory, ScriptFileSource& files, const std::string& path,
                  std::string name, std::unique_ptr<TgsScript>& script);
  ~TgsScript();
  TgsScript(const TgsScript&) = delete;
  TgsScript& operator=(const TgsScript&) = delete;

  const std::string& Name() const { return name_; }
  int32_t FlagIndex() const { return flagIndex_; }
  void SetFlagIndex(int32_t index) { flagIndex_ = index; }
  bool IsVersion1() const { return version1_; }
  // The guest address of the code start and the code's size; offsets count from the start.
  uint32_t CodeStart() const { return data_ + codeOffset_; }
  uint32_t CodeOffset() const { return codeOffset_; }
  uint32_t CodeSize() const { return codeSize_; }
  // The code as host bytes (the block never moves while the script lives).
  const uint8_t* Code() const { return code_; }

  // The label's code offset; -1 when absent, 0 for a null label. Names compare byte for byte;
  // the first of a name wins.
  int32_t FindLabel(const char* label) const;
  // Entry i of the message table; -1 when i is not below the count.
  int32_t GetMessageOffset(uint32_t i) const;
  uint32_t MessageCount() const { return messageCount_; }

  // The decoded step at position, or null. The cache is direct-mapped: a step may be replaced by
  // another whose position maps to the same entry. Main-script code run by the scenario may write
  // anywhere in the scenario's bytes: a step whose bytes changed since it was read is read again.
  const TgsDecodedStep* FindDecoded(uint32_t position) const {
    const TgsDecodedStep& d = decoded_[DecodedIndex(position)];
    return d.position == position && Fingerprint(d) == d.fingerprint ? &d : nullptr;
  }
  void KeepDecoded(TgsDecodedStep step) {
    if (step.bodyCount > TgsDecodedStep::kMaxBodies) return;
    step.fingerprint = Fingerprint(step);
    decoded_[DecodedIndex(step.position)] = step;
  }
  // Counts the scripts released so far: a step that ran foreign code keeps what it decoded only
  // when no script went meanwhile, as its own may have been the one.
  static uint32_t Releases() { return releases_.load(std::memory_order_relaxed); }

 private:
  TgsScript(GuestMemory& memory, std::string name) : memory_(memory), name_(std::move(name)) {}
  int Parse(uint32_t fileSize);
  // Each label as it was at load, in file order; the name is left where it lies in the block,
  // so loading a script with many labels allocates twice.
  struct Label {
    uint32_t name;  // the name's offset in the block
    uint32_t length;
    uint32_t offset;
  };
  // The index: open addressing, a power of two. A slot is two words, so the table a large
  // script's labels go into stays small enough for the cache.
  struct LabelSlot {  // trivial, so that a new table is cleared as one block
    uint32_t hash;
    uint32_t label;  // 1 + the label's number; 0 empty
  };
  // The hash of a decoded step's bytes, its bodies left out.
  uint64_t Fingerprint(const TgsDecodedStep& step) const;
  // A label's name, as long as it was at load: scripts may rewrite the block since.
  std::string_view LabelName(const Label& label) const;
  // Adds label number index unless its name is there already.
  void IndexLabel(uint32_t hash, uint32_t index);

  GuestMemory& memory_;
  std::string name_;
  int32_t flagIndex_ = -1;
  bool version1_ = false;
  uint32_t data_ = 0;
  uint32_t codeOffset_ = 0;
  uint32_t codeSize_ = 0;
  const uint8_t* block_ = nullptr;
  const uint8_t* code_ = nullptr;
  const uint8_t* messages_ = nullptr;  // N little-endian words, inside the block
  uint32_t messageCount_ = 0;
  uint32_t labelCount_ = 0;
  std::unique_ptr<Label[]> labels_;
  std::vector<LabelSlot> slots_;
  static constexpr uint32_t kDecodedSteps = 64;
  static uint32_t DecodedIndex(uint32_t position) {
    return (position * 2654435761u) >> 26;  // the top 6 bits of a Fibonacci hash
  }
  std::array<TgsDecodedStep, kDecodedSteps> decoded_{};
  static std::atomic<uint32_t> releases_;
};

}  // namespace bw
