// One loaded ".TOB" scenario script: the file's bytes in guest memory (embedded main-script code,
// its linked bytes and the texts that argument slots point at are guest addresses), its label
// index and its message-offset table. The layout is checked once at load, so everything the
// interpreter later takes from the header (labels, message offsets) lies inside the code.
#pragma once

#include <emmintrin.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

class GuestMemory;
class ScriptFileSource;
class TgsLoop;

// ParseTob
constexpr int kTobDone = 0;
constexpr int kTobNotFound = 1;
constexpr int kTobBadFile = 2;  // another magic, or a header that does not fit the file
constexpr int kTobNoMemory = 3;

// What a scenario instruction or "[s" statement was read as, so that each later turn runs it
// without reading its fields again. Operands that change from turn to turn (variables,
// expressions) are kept as where to find them, not as values.
struct TgsDecodedOperand {
  enum Form : uint8_t { kConstant, kVariable, kExpression };
  Form form = kConstant;
  uint8_t flags = 0;  // an argument's slot flags, the text bit included
  uint32_t a = 0;     // the constant, the variable's bank or the expression's linked code
  uint32_t b = 0;     // the variable's index
};
// Up to 16 bytes the reading took from the code, as it took them: in the top bytes of the window
// of 16 that ends where they end, so that a step's fields mostly take one window each. The window
// may start up to 15 bytes in front of the code, inside the file's header (20 bytes at least).
struct TgsReadBytes {
  static constexpr uint32_t kWindow = 16;
  int32_t windowAt;  // code offset
  uint8_t bytes[kWindow];
  uint8_t mask[kWindow];  // 0xFF where a byte was read
};
// Embedded code may rewrite anything, the instruction that runs it too: what was read after a run
// is checked again after that run on each turn. Stage 0 is what was read before any.
struct TgsDecodedStage {
  uint32_t readsEnd;     // this stage's reads end here; they begin where the stage before ends
  uint32_t resumeAt;     // the code offset the reading went on from
  int32_t nextArgument;  // the argument read next; -1: the skip behind the condition
};
struct TgsDecodedStep {
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  static constexpr uint32_t kStatement = 0xFFFFFFFF;  // function of a "[s" statement
  uint32_t position = kEmpty;                         // of the "["
  uint32_t function = kStatement;
  uint32_t next = 0;     // behind a statement; an instruction's end
  uint32_t countAt = 0;  // where the argument count lies
  bool invert = false;   // function 0 runs when its condition is false
  // The arguments are read too: a condition false on the first turn leaves them unread only when
  // one of them is embedded code, since reading that links it.
  bool complete = false;
  uint32_t count = 0;  // of the arguments read
  bool jump = false;   // functions 0-3 with their slot, if any, no expression: the loops' kind
  // A jump, Nop, Call, Jump or Return of constants only and no script name: it runs no code and
  // loads nothing, so it writes nothing into guest memory.
  bool quiet = false;
  TgsDecodedOperand condition;  // a statement's code is condition.a
  std::vector<TgsDecodedOperand> arguments;
  std::vector<TgsReadBytes> reads;
  std::vector<TgsDecodedStage> stages;
  // The step the scenario went on to from this one last time, in the same script: a loop goes
  // from step to step without looking them up.
  mutable const TgsDecodedStep* follower = nullptr;
  // The cycle of steps entered here, run as one unit; loopTries bounds the attempts to build it.
  mutable const TgsLoop* loop = nullptr;
  mutable uint8_t loopTries = 0;
};

class TgsScript {
  struct Key {};  // only Load makes one

 public:
  // Reads the file at path from files straight into a new guest block (with a guard NUL behind
  // it) and checks its layout; kTobDone and script set, else kTobNotFound, kTobBadFile or
  // kTobNoMemory.
  [[nodiscard]] static int Load(GuestMemory& memory, ScriptFileSource& files,
                                const std::string& path, std::string name,
                                std::unique_ptr<TgsScript>& script);
  TgsScript(Key, GuestMemory& memory, std::string name);
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

  // The step decoded at position whose first stage still reads as it did, or null. after: a
  // step of this script that ran just before, or null.
  const TgsDecodedStep* FindDecoded(uint32_t position,
                                    const TgsDecodedStep* after = nullptr) const {
    const TgsDecodedStep* found = after ? after->follower : nullptr;
    if (!found || found->position != position) {
      found = Lookup(position);
      if (!found) return nullptr;
      if (after) after->follower = found;
    }
    return StageIntact(*found, 0) ? found : nullptr;
  }
  // Whether the bytes stage k of step read are as they were.
  bool StageIntact(const TgsDecodedStep& step, size_t k) const {
    const TgsReadBytes* r = step.reads.data();
    return ReadsIntact(k ? r + step.stages[k - 1].readsEnd : r, r + step.stages[k].readsEnd);
  }
  // Whether the bytes of [r, end) are as they were read.
  bool ReadsIntact(const TgsReadBytes* r, const TgsReadBytes* end) const {
    __m128i changed = _mm_setzero_si128();
    for (; r != end; ++r) {
      const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(code_ + r->windowAt));
      const __m128i then = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r->bytes));
      const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r->mask));
      changed = _mm_or_si128(changed, _mm_and_si128(_mm_xor_si128(now, then), mask));
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi8(changed, _mm_setzero_si128())) == 0xFFFF;
  }
  // Keeps step in place of any decoded at its position. Steps are kept up to a number the code's
  // size bounds, so code that keeps rewriting itself cannot grow the table without end.
  void KeepDecoded(const TgsDecodedStep& step);
  // Counts the scripts released so far: a step that ran foreign code keeps what it decoded only
  // when no script went meanwhile, as its own may have been the one.
  static uint32_t Releases() { return releases_.load(std::memory_order_relaxed); }
  // Keeps loop for the script's life; null, with loop dropped, past a number the code's size
  // bounds.
  const TgsLoop* KeepLoop(std::unique_ptr<TgsLoop> loop);
  // The guest bytes some kept block relies on (what its steps read, the words its fragments were
  // decoded from): a block whose stores keep off them all changes nothing any block relies on.
  // Bytes outside the code (give or take a read's window) cannot be guarded: every store then
  // counts as hitting one.
  void Guard(uint64_t address, uint64_t bytes);
  bool Guarded(uint64_t address, uint64_t bytes) const;
  // Counts the calls to Guard: an answer of Guarded stands while it reads the same.
  uint32_t GuardVersion() const { return guardVersion_; }

 private:
  [[nodiscard]] int Parse(uint32_t fileSize);
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
  struct StepSlot {
    uint32_t position;
    TgsDecodedStep* step;  // null: empty
  };
  static uint32_t StepHash(uint32_t position) {
    return static_cast<uint32_t>((position * 0x9E3779B97F4A7C15ull) >> 40);
  }
  // The slot of position, or the empty one it would take.
  StepSlot& Slot(uint32_t position);
  const TgsDecodedStep* Lookup(uint32_t position) const {
    if (stepSlots_.empty()) return nullptr;
    const uint32_t mask = static_cast<uint32_t>(stepSlots_.size()) - 1;
    for (uint32_t i = StepHash(position) & mask;; i = (i + 1) & mask) {
      const StepSlot& slot = stepSlots_[i];
      if (!slot.step || slot.position == position) return slot.step;
    }
  }
  std::vector<std::unique_ptr<TgsDecodedStep>> steps_;
  std::vector<StepSlot> stepSlots_;  // open addressing, a power of two
  std::vector<std::unique_ptr<TgsLoop>> loops_;
  std::vector<uint64_t> guarded_;  // a bit a byte from CodeStart() - kGuardFront
  bool guardedAll_ = false;
  uint32_t guardVersion_ = 0;
  static constexpr uint32_t kGuardFront = 16;  // a read's window starts inside the header
  static std::atomic<uint32_t> releases_;
};

}  // namespace bw
