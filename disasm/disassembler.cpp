#include "disasm/disassembler.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "disasm/statement_forms.h"
#include "driver/assembly_service.h"
#include "support/text.h"
#include "symbols/symbol_table.h"

namespace korva {

namespace {

constexpr std::uint32_t kPageMask = 0x1800;
constexpr std::uint8_t kPclRegister = 0x02;
constexpr std::uint32_t kResetVector = 0x0000;
constexpr std::uint32_t kInterruptVector = 0x0004;
// Registers every bank shows at the same place: their bank-0 name is right
// whatever the bank.
constexpr std::uint8_t kSharedRegisters[] = {0x00, 0x02, 0x03, 0x04, 0x0A, 0x0B};
// Room kept in the symbol table beyond the chip's names and the labels.
constexpr std::size_t kSymbolReserve = 8;
// A remark holds 48 characters, its semicolon and blank included.
constexpr std::size_t kRemarkSize = 46;
constexpr std::size_t kRemarkColumn = 32;

// The bits of a register that the program has plainly set: `known` marks
// them, `value` holds them.
struct KnownBits {
  std::uint8_t value = 0;
  std::uint8_t known = 0;

  bool operator==(const KnownBits&) const = default;

  static KnownBits all(std::uint8_t value) { return {value, 0xFF}; }
  bool has(std::uint8_t mask) const { return (known & mask) == mask; }
  KnownBits with_bit(unsigned bit, bool on) const {
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    return {static_cast<std::uint8_t>(on ? value | mask : value & ~mask),
            static_cast<std::uint8_t>(known | mask)};
  }
  KnownBits merged(const KnownBits& other) const {
    const auto agreed = static_cast<std::uint8_t>(known & other.known & ~(value ^ other.value));
    return {static_cast<std::uint8_t>(value & agreed), agreed};
  }
};

// What the program has plainly set up before a word runs: the bank bits of
// STATUS, PCLATH and W.
struct FlowState {
  KnownBits status;
  KnownBits pclath;
  KnownBits bsr;  // the enhanced core's bank select register
  std::optional<std::uint8_t> w;

  static FlowState unknown() { return {}; }
  // After a reset STATUS selects bank 0 and PCLATH is 0.
  static FlowState at_reset() {
    FlowState state;
    state.status = KnownBits{0, kBankBits};
    state.pclath = KnownBits::all(0);
    state.bsr = KnownBits::all(0);
    return state;
  }

  bool operator==(const FlowState&) const = default;

  FlowState merged(const FlowState& other) const {
    FlowState both;
    both.status = status.merged(other.status);
    both.pclath = pclath.merged(other.pclath);
    both.bsr = bsr.merged(other.bsr);
    if (w == other.w) both.w = w;
    return both;
  }

  static constexpr std::uint8_t kBankBits = 1u << kBankBitLow | 1u << kBankBitHigh;
};

// What a subroutine may change of the caller's state.
struct CallEffect {
  bool status = true;  // the bank: STATUS's bank bits, or BSR
  bool pclath = true;
};

// The state after `decoded` runs from `before`; for a call, `effect` says
// what the subroutine changes.
FlowState state_after(const DecodedWord& decoded, const FlowState& before,
                      const CallEffect& effect = {}) {
  FlowState after = before;
  after.w.reset();
  if (decoded.flow == WordFlow::call) {
    if (effect.status) after.status = {};
    if (effect.status) after.bsr = {};
    if (effect.pclath) after.pclath = {};
    return after;
  }
  if (decodes_as(decoded, opcode_of("MOVLW"))) after.w = *decoded.literal;
  if (decodes_as(decoded, opcode_of("MOVLB", CoreFamily::enhanced))) {
    after.bsr = KnownBits::all(*decoded.literal);
  }
  if (decodes_as(decoded, opcode_of("MOVLP", CoreFamily::enhanced))) {
    after.pclath = KnownBits::all(*decoded.literal);
  }
  if (!decoded.file) return after;
  const std::uint8_t file = *decoded.file;
  if (decoded.bit) {
    after.w = before.w;
    if (!decoded.sets_bit && !decoded.clears_bit) return after;
    if (file == kStatusRegister)
      after.status = before.status.with_bit(*decoded.bit, decoded.sets_bit);
    if (file == kPclathRegister)
      after.pclath = before.pclath.with_bit(*decoded.bit, decoded.sets_bit);
    return after;
  }
  const bool movwf = decodes_as(decoded, opcode_of("MOVWF"));
  const bool clrf = decodes_as(decoded, opcode_of("CLRF"));
  if (movwf) after.w = before.w;
  if (!decoded.to_file) return after;
  const auto written = [&]() -> KnownBits {
    if (clrf) return KnownBits::all(0);
    if (movwf && before.w) return KnownBits::all(*before.w);
    return {};
  };
  if (file == kStatusRegister) after.status = written();
  if (file == kPclathRegister) after.pclath = written();
  if (file == kBsrRegister) after.bsr = written();
  return after;
}

// Whether a word changes the bank (STATUS's bank bits, or on the enhanced
// core BSR) or PCLATH.
CallEffect changes_of(const DecodedWord& decoded, CoreFamily family) {
  CallEffect effect{false, false};
  if (decoded.flow == WordFlow::call) return CallEffect{};
  if (decodes_as(decoded, opcode_of("MOVLB", CoreFamily::enhanced))) return {true, false};
  if (decodes_as(decoded, opcode_of("MOVLP", CoreFamily::enhanced))) return {false, true};
  if (!decoded.file) return effect;
  const bool writes = decoded.bit ? decoded.sets_bit || decoded.clears_bit : decoded.to_file;
  if (!writes) return effect;
  effect.status = (*decoded.file == kStatusRegister &&
                   (!decoded.bit || *decoded.bit == kBankBitLow || *decoded.bit == kBankBitHigh)) ||
                  (family == CoreFamily::enhanced && *decoded.file == kBsrRegister);
  effect.pclath = *decoded.file == kPclathRegister;
  return effect;
}

bool writes_pcl(const DecodedWord& decoded) {
  return decoded.file == kPclRegister && decoded.to_file && !decoded.bit;
}

// One program word and the ways it may be written.
struct ProgramLine {
  std::uint32_t address = 0;
  std::uint16_t word = 0;
  std::vector<std::string> candidates;  // the raw word last
  std::size_t chosen = 0;
  std::string remark;      // for a notation statement
  std::string raw_remark;  // for the raw word
  bool reached = false;
  bool is_raw() const { return chosen + 1 == candidates.size(); }
};

// The lines of the project text, and for each the program line it writes.
class Writer {
 public:
  explicit Writer(std::vector<std::optional<std::size_t>>& owner) : owner_(owner) {
    owner_.assign(1, std::nullopt);
  }
  void remark(const std::string& text) {
    finish(text.empty() ? ";" : "; " + cut(text), std::nullopt);
  }
  void line(const std::string& label, const std::string& statement, const std::string& note) {
    finish(compose(label, statement, note), std::nullopt);
  }
  void owned_line(const std::string& label, const std::string& statement, const std::string& note,
                  std::size_t index) {
    finish(compose(label, statement, note), index);
  }
  std::string text() const { return text_; }

 private:
  static std::string cut(const std::string& text) { return text.substr(0, kRemarkSize); }
  static std::string compose(const std::string& label, const std::string& statement,
                             const std::string& note) {
    std::string text = label;
    text.append(text.size() < 8 ? 8 - text.size() : 1, ' ');
    text += statement;
    if (note.empty()) return text;
    text.append(text.size() < kRemarkColumn ? kRemarkColumn - text.size() : 1, ' ');
    return text + "; " + cut(note);
  }
  void finish(const std::string& line, std::optional<std::size_t> index) {
    text_ += line;
    text_ += "\r\n";
    owner_.push_back(index);
  }
  std::vector<std::optional<std::size_t>>& owner_;
  std::string text_;
};

class Disassembler {
 public:
  Disassembler(const ImageContents& image, const DisassemblyOptions& options)
      : image_(image), options_(options) {
    memory_ = options.chip ? options.chip->memory : MemoryMap{};
    if (options.chip) {
      chip_names_.insert(options.chip->names.begin(), options.chip->names.end());
      if (options.chip->facts) core_ = options.chip->facts->core;
    }
  }

  Expected<Disassembly> run() {
    collect_program();
    follow_flow();
    name_targets();
    make_candidates();
    return prove();
  }

 private:
  void collect_program() {
    for (const auto& [address, word] : image_.words) {
      if (!memory_.program.contains(address)) continue;
      index_[address] = lines_.size();
      lines_.push_back(ProgramLine{address, word, {}, 0, {}, {}, false});
      decoded_.push_back(decode_word(word, core_, banks()));
    }
  }

  // The page bits of PCLATH that the chip's program memory uses: 4 and 3,
  // and on the enhanced core up to 6.
  std::uint8_t page_bits() const {
    std::uint8_t bits = 0;
    for (std::uint32_t bit = 0x08; bit <= 0x40; bit <<= 1) {
      if (memory_.program.end > (bit << 8)) bits |= static_cast<std::uint8_t>(bit);
    }
    return bits;
  }

  // The chip's banks, which decide the enhanced core's MOVLB.
  std::uint32_t banks() const { return options_.chip ? options_.chip->banks : 0; }

  // The address bits above a page's 11: two, or on the enhanced core four.
  std::uint32_t page_mask() const { return core_ == CoreFamily::enhanced ? 0x7800 : kPageMask; }

  // Where a GOTO or CALL goes: into the page PCLATH selects where that is
  // plain, else into the instruction's own page. Where BRA goes: the next
  // word plus its offset.
  std::uint32_t target_of(std::size_t i, const KnownBits& pclath) const {
    if (decoded_[i].flow == WordFlow::relative_jump) {
      return static_cast<std::uint32_t>(static_cast<std::int32_t>(lines_[i].address) + 1 +
                                        decoded_[i].offset.value_or(0)) &
             0x7FFF;
    }
    const std::uint8_t bits = page_bits();
    const std::uint32_t page = pclath.has(bits)
                                   ? static_cast<std::uint32_t>(pclath.value & bits) << 8
                                   : lines_[i].address & page_mask();
    return page | decoded_[i].target;
  }

  static bool is_jump(const DecodedWord& decoded) {
    return decoded.flow == WordFlow::jump || decoded.flow == WordFlow::relative_jump;
  }

  // Registers every bank shows at the same place: on the enhanced core the
  // core registers 00-0B and the common RAM 70-7F.
  bool is_shared_register(std::uint8_t file) const {
    if (core_ == CoreFamily::enhanced) return file <= 0x0B || file >= 0x70;
    return std::find(std::begin(kSharedRegisters), std::end(kSharedRegisters), file) !=
           std::end(kSharedRegisters);
  }

  // The bank that STATUS plainly selects before line i, if it does. A chip
  // of two banks leaves RP1 alone.
  std::optional<unsigned> bank_of(std::size_t i) const {
    if (core_ == CoreFamily::enhanced) {
      const KnownBits& bsr = states_[i].bsr;
      if (!bsr.has(0x3F)) return std::nullopt;
      return bsr.value;
    }
    const KnownBits& status = states_[i].status;
    const bool four_banks = !options_.chip || options_.chip->banks > 2;
    const auto needed =
        static_cast<std::uint8_t>(four_banks ? FlowState::kBankBits : 1u << kBankBitLow);
    if (!status.has(needed)) return std::nullopt;
    return static_cast<unsigned>((status.value & needed) >> kBankBitLow);
  }

  // What the subroutine at `target` may change: any word it reaches before
  // it returns that writes the bank bits or PCLATH, or a call to a
  // subroutine not yet known to leave them alone.
  CallEffect call_effect(std::uint32_t target) {
    if (const auto known = effects_.find(target); known != effects_.end()) return known->second;
    effects_[target] = CallEffect{};
    CallEffect effect{false, false};
    std::set<std::uint32_t> seen;
    std::vector<std::uint32_t> pending{target};
    while (!pending.empty() && (!effect.status || !effect.pclath)) {
      const std::uint32_t address = pending.back();
      pending.pop_back();
      const auto found = index_.find(address);
      if (found == index_.end() || !seen.insert(address).second) continue;
      const std::size_t i = found->second;
      const DecodedWord& decoded = decoded_[i];
      CallEffect word = changes_of(decoded, core_);
      if (decoded.flow == WordFlow::call) {
        const auto nested = effects_.find(target_of(i, {}));
        word = nested != effects_.end() ? nested->second : CallEffect{};
      }
      effect.status = effect.status || word.status;
      effect.pclath = effect.pclath || word.pclath;
      if (is_jump(decoded)) pending.push_back(target_of(i, {}));
      if (decoded.flow == WordFlow::next || decoded.flow == WordFlow::call ||
          decoded.flow == WordFlow::skip) {
        pending.push_back(address + 1);
      }
      if (decoded.flow == WordFlow::skip) pending.push_back(address + 2);
    }
    return effects_[target] = effect;
  }

  // Follows the program from the reset and interrupt vectors, carrying
  // what it plainly sets up (bank, PCLATH, W) to every word it reaches: a
  // word where two ways in disagree knows only what they agree on. A write
  // to PCL (a computed jump) reaches the table of RETLW and GOTO words after
  // it, which learns nothing. Words never reached know nothing either.
  void follow_flow() {
    std::vector<std::optional<FlowState>> in(lines_.size());
    std::vector<std::size_t> pending;
    const auto arrive = [&](std::uint32_t address, const FlowState& state) {
      const auto found = index_.find(address);
      if (found == index_.end()) return;
      std::optional<FlowState>& known = in[found->second];
      const FlowState merged = known ? known->merged(state) : state;
      if (known && merged == *known) return;
      known = merged;
      pending.push_back(found->second);
    };
    // Each word's state can only lose what it knows, so this ends.
    const auto drain = [&] {
      while (!pending.empty()) {
        const std::size_t i = pending.back();
        pending.pop_back();
        step(i, *in[i], arrive);
      }
    };
    arrive(kResetVector, FlowState::at_reset());
    drain();
    // The interrupt vector is a way in of its own only where the program
    // does not run into it anyway (a program without interrupts).
    if (const auto vector = index_.find(kInterruptVector);
        vector != index_.end() && !in[vector->second]) {
      arrive(kInterruptVector, FlowState::unknown());
      drain();
    }
    states_.assign(lines_.size(), FlowState::unknown());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      lines_[i].reached = in[i].has_value();
      if (in[i]) states_[i] = *in[i];
      if (is_jump(decoded_[i]) || decoded_[i].flow == WordFlow::call) {
        targets_[i] = target_of(i, states_[i].pclath);
      }
    }
  }

  template <typename Arrive>
  void step(std::size_t i, const FlowState& before, Arrive& arrive) {
    const std::uint32_t address = lines_[i].address;
    const std::uint32_t target = target_of(i, before.pclath);
    const FlowState after =
        state_after(decoded_[i], before,
                    decoded_[i].flow == WordFlow::call ? call_effect(target) : CallEffect{});
    switch (decoded_[i].flow) {
      case WordFlow::jump:
      case WordFlow::relative_jump:
        arrive(target, after);
        break;
      case WordFlow::call:
        arrive(target, before);
        arrive(address + 1, after);
        break;
      case WordFlow::skip:
        arrive(address + 1, after);
        arrive(address + 2, after);
        break;
      case WordFlow::next:
        arrive(address + 1, after);
        break;
      case WordFlow::leave:
      case WordFlow::no_form:
      case WordFlow::computed_jump:
      case WordFlow::restart:
        break;
    }
    // A write to PCL, or BRW, jumps into the table after it.
    if (writes_pcl(decoded_[i]) || decoded_[i].flow == WordFlow::computed_jump) {
      reach_table(i + 1, arrive);
    }
  }

  template <typename Arrive>
  void reach_table(std::size_t i, Arrive& arrive) const {
    for (; i < lines_.size() && lines_[i].address == lines_[i - 1].address + 1; ++i) {
      const bool retlw = decodes_as(decoded_[i], opcode_of("RETLW"));
      if (!retlw && !is_jump(decoded_[i])) return;
      arrive(lines_[i].address, FlowState::unknown());
    }
  }

  // A name for the address: the map's, where it has one that is free,
  // else the letter and the address. `used` holds the names taken in the
  // same name space.
  std::string take_name(char letter, std::uint32_t address,
                        const std::map<std::uint32_t, std::string>* given,
                        std::set<std::string>& used) const {
    if (given != nullptr) {
      const auto found = given->find(address);
      if (found != given->end() && usable_name(found->second) && !used.contains(found->second) &&
          !chip_names_.contains(found->second)) {
        used.insert(found->second);
        return found->second;
      }
    }
    std::string name = letter + hex4(address);
    while (chip_names_.contains(name) || used.contains(name)) name += '_';
    used.insert(name);
    return name;
  }

  // A map name that fits a label field (16 characters and its colons) and
  // holds nothing that would cut it.
  static bool usable_name(const std::string& name) {
    return !name.empty() && name.size() <= 16 && name.find_first_of(" \t:;") == std::string::npos;
  }

  // Labels for the jump targets and subroutines for the call targets, as
  // many as the symbol table has room for: calls first, then jumps, each
  // from the lowest address.
  void name_targets() {
    std::set<std::uint32_t> jumps;
    std::set<std::uint32_t> calls;
    for (const auto& [i, target] : targets_) {
      if (decoded_[i].flow != WordFlow::call) {
        jumps.insert(target);
      } else if (const std::optional<std::uint32_t> home = call_home(target)) {
        calls.insert(*home);
        call_homes_[target] = *home;
      }
    }
    const SymbolNames* given = options_.symbols ? &*options_.symbols : nullptr;
    std::set<std::string> globals;
    std::set<std::string> subroutine_names;
    const std::size_t used = chip_names_.size() + kSymbolReserve;
    std::size_t room = SymbolTable::kCapacity > used ? SymbolTable::kCapacity - used : 0;
    if (given != nullptr) {
      for (const auto& [address, name] : given->reservations) {
        if (room == 0 || !usable_name(name) || chip_names_.contains(name) ||
            !globals.insert(name).second) {
          continue;
        }
        reservations_[address] = name;
        --room;
      }
    }
    for (const std::uint32_t target : calls) {
      if (room == 0) break;
      subroutines_[target] =
          take_name('S', target, given ? &given->subroutines : nullptr, subroutine_names);
      --room;
    }
    for (const std::uint32_t target : jumps) {
      if (room == 0) break;
      labels_[target] = take_name('L', target, given ? &given->labels : nullptr, globals);
      --room;
    }
    if (given == nullptr) return;
    // The map's other subroutines and labels, where the image has their word.
    for (const auto& [address, name] : given->subroutines) {
      if (room == 0 || !index_.contains(address) || subroutines_.contains(address)) continue;
      if (usable_name(name) && subroutine_names.insert(name).second) {
        subroutines_[address] = name;
        --room;
      }
    }
    for (const auto& [address, name] : given->labels) {
      if (room == 0 || !index_.contains(address) || labels_.contains(address)) continue;
      if (usable_name(name) && !chip_names_.contains(name) && globals.insert(name).second) {
        labels_[address] = name;
        --room;
      }
    }
  }

  // Where the subroutine of a call to `target` stands: at the target, or
  // where the target holds no word, at the first word of another page with
  // the same low 11 bits, which the CALL word encodes just as well.
  std::optional<std::uint32_t> call_home(std::uint32_t target) const {
    if (index_.contains(target)) return target;
    for (std::uint32_t page = 0; page <= page_mask() >> 11; ++page) {
      const std::uint32_t home = page << 11 | (target & 0x07FF);
      if (index_.contains(home)) return home;
    }
    return std::nullopt;
  }

  std::vector<RegisterSpelling> spellings(std::size_t i) const {
    std::vector<RegisterSpelling> made;
    const std::uint8_t file = decoded_[i].file.value_or(0);
    const std::optional<std::uint8_t> bit = decoded_[i].bit;
    // The program's own reservations first, in the plain bank (or bank 0).
    const std::uint32_t data_address = bank_of(i).value_or(0) * 0x80u + file;
    if (const auto reserved = reservations_.find(data_address); reserved != reservations_.end()) {
      made.push_back(RegisterSpelling{"(" + reserved->second + ")", std::nullopt});
    }
    if (options_.chip) {
      const std::optional<unsigned> bank = bank_of(i);
      const bool shared = is_shared_register(file);
      const std::uint32_t address = bank && !shared ? *bank * 0x80u + file : file;
      const auto name = options_.chip->registers.find(address);
      if (name != options_.chip->registers.end()) {
        RegisterSpelling spelling{"(" + name->second + ")", std::nullopt};
        const auto bits = options_.chip->bits.find(address);
        if (bit && bits != options_.chip->bits.end() && !bits->second[*bit].empty()) {
          spelling.bit_name = bits->second[*bit];
        }
        made.push_back(std::move(spelling));
      }
    }
    made.push_back(RegisterSpelling{"(" + dollar_hex(file, 2) + ")", std::nullopt});
    return made;
  }

  // The remark of a register operand whose bank is not plain.
  std::string bank_remark(std::size_t i) const {
    if (!options_.chip || !decoded_[i].file || !lines_[i].reached || bank_of(i)) return {};
    const std::uint8_t file = *decoded_[i].file;
    if (is_shared_register(file) || !options_.chip->registers.contains(file)) {
      return {};
    }
    return "bank not plain: register " + dollar_hex(file, 2).substr(1) + "h";
  }

  void make_candidates() {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      ProgramLine& line = lines_[i];
      const DecodedWord& decoded = decoded_[i];
      if (is_jump(decoded) || decoded.flow == WordFlow::call) {
        branch_candidates(i);
      } else {
        line.candidates = statement_forms(decoded, spellings(i), core_);
        line.remark = bank_remark(i);
      }
      line.candidates.push_back(raw_statement(line.word));
      if (line.raw_remark.empty()) {
        line.raw_remark = standard_mnemonic(line.word, core_, banks());
        if (line.raw_remark != "no instruction" && line.candidates.size() == 1) {
          line.raw_remark += ": no exact form";
        }
      }
    }
  }

  void branch_candidates(std::size_t i) {
    ProgramLine& line = lines_[i];
    const std::uint32_t target = targets_[i];
    const bool call = decoded_[i].flow == WordFlow::call;
    const auto home = call_homes_.find(target);
    const auto& names = call ? subroutines_ : labels_;
    const auto name = names.find(call && home != call_homes_.end() ? home->second : target);
    const bool relative = decoded_[i].flow == WordFlow::relative_jump;
    const std::string what = std::string(call       ? "CALL "
                                         : relative ? "BRA "
                                                    : "GOTO ") +
                             hex4(target) + "h";
    if (name == names.end()) {
      const bool placed = !call || home != call_homes_.end();
      line.raw_remark = what + (placed ? ": no room for a name" : ": no word there");
      return;
    }
    line.candidates.push_back(call ? name->second : (relative ? "-->" : "===->") + name->second);
    if (call && home->second != target) {
      line.remark = "to " + hex4(target) + "h: no word there";
    } else if (!relative && (target & page_mask()) != (line.address & page_mask())) {
      line.remark = "page " + std::to_string(target >> 11) + " (PCLATH)";
    }
    line.raw_remark = what;
  }

  // The program as text; `owner` gets, for each line of it (from 1), the
  // program line it writes, if any.
  std::string render(std::vector<std::optional<std::size_t>>& owner) const {
    Writer out(owner);
    heading(out);
    for (const auto& [address, name] : reservations_) {
      out.line(name, "EQU " + dollar_hex(address, 4), "data memory");
    }
    for (const auto& [target, name] : labels_) {
      if (!index_.contains(target)) out.line(name, "EQU " + dollar_hex(target, 4), "outside");
    }
    std::uint32_t next = kResetVector;
    std::string region = "program";
    bool in_unreached = false;
    auto word = image_.words.begin();
    auto byte = image_.lone_bytes.begin();
    while (word != image_.words.end() || byte != image_.lone_bytes.end()) {
      const bool lone = word == image_.words.end() ||
                        (byte != image_.lone_bytes.end() && byte->first < word->first);
      const std::uint32_t address = lone ? byte->first : word->first;
      if (const std::string here = region_name(address); here != region) {
        out.remark({});
        out.remark(here);
        region = here;
      }
      if (address != next) out.line({}, "ORG " + dollar_hex(address, 4), {});
      if (lone) {
        // A data byte leaves the address where it is.
        out.line({}, "DE " + dollar_hex(byte->second, 2), {});
        next = address;
        ++byte;
        continue;
      }
      if (const auto line = index_.find(address); line != index_.end()) {
        program_line(out, line->second, in_unreached);
      } else {
        other_word(out, address, word->second);
      }
      next = address + 1;
      ++word;
    }
    return out.text();
  }

  void program_line(Writer& out, std::size_t i, bool& in_unreached) const {
    const ProgramLine& line = lines_[i];
    if (!line.reached && !in_unreached) out.remark(unreached_note(i));
    in_unreached = !line.reached;
    if (const auto sub = subroutines_.find(line.address); sub != subroutines_.end()) {
      out.line({}, "SUB " + sub->second, {});
    }
    const auto label = labels_.find(line.address);
    const std::string label_text = label != labels_.end() ? label->second + "::" : "";
    out.owned_line(label_text, line.candidates[line.chosen],
                   line.is_raw() ? line.raw_remark : line.remark, i);
  }

  // A configuration, ID or EEPROM word; a configuration word with the
  // settings of its fields.
  void other_word(Writer& out, std::uint32_t address, std::uint16_t word) const {
    if (memory_.config.contains(address) && options_.chip) {
      std::string settings;
      for (const std::string& name : options_.chip->config_settings(address, word)) {
        if (!settings.empty() && settings.size() + name.size() + 1 > kRemarkSize) {
          out.remark(settings);
          settings.clear();
        }
        settings += (settings.empty() ? "" : " ") + name;
      }
      if (!settings.empty()) out.remark(settings);
    }
    out.line({}, raw_statement(word), {});
  }

  std::string unreached_note(std::size_t i) const {
    std::size_t last = i;
    while (last + 1 < lines_.size() && !lines_[last + 1].reached &&
           lines_[last + 1].address == lines_[last].address + 1) {
      ++last;
    }
    return hex4(lines_[i].address) + "-" + hex4(lines_[last].address) +
           ": not reached from a vector";
  }

  void heading(Writer& out) const {
    out.remark("Disassembled by korva-dis from");
    out.remark(options_.input_name.empty() ? std::string("a program image") : options_.input_name);
    const bool chip_option = options_.chip && options_.chip_in_command == ChipInCommand::option;
    const std::string chip = chip_option ? " --chip " + options_.chip->memory.chip : "";
    out.remark("Assemble with:");
    out.remark("korva-asm" + chip + " " + options_.base_name + ".amk");
    out.remark({});
  }

  std::string region_name(std::uint32_t address) const {
    if (memory_.program.contains(address)) return "program";
    if (memory_.id.contains(address)) return "ID locations";
    if (memory_.config.contains(address)) return "Configuration word";
    return "EEPROM data, one word per byte";
  }

  // Assembles the text and writes again, in its next form, every statement
  // whose word comes out different, until every word is the same.
  Expected<Disassembly> prove() {
    Disassembly made;
    for (std::size_t round = 1;; ++round) {
      std::vector<std::optional<std::size_t>> owner;
      made.source = render(owner);
      made.counts.assemblies = round;
      Expected<std::set<std::size_t>> wrong = differing_lines(made.source, owner);
      if (!wrong) return wrong.failure();
      if (wrong->empty()) break;
      for (const std::size_t i : *wrong) {
        if (lines_[i].is_raw()) {
          return fail("the raw word at " + hex4(lines_[i].address) + " does not assemble back");
        }
        ++lines_[i].chosen;
      }
    }
    made.project = options_.base_name + ".as\r\n";
    count(made.counts);
    return made;
  }

  void count(DisassemblyCounts& counts) const {
    counts.program_words = lines_.size();
    for (const ProgramLine& line : lines_) {
      (line.is_raw() ? counts.raw_words : counts.statements) += 1;
      counts.unreached += line.reached ? 0 : 1;
    }
    counts.other_words = image_.words.size() - lines_.size();
    counts.data_bytes = image_.lone_bytes.size();
  }

  Expected<std::set<std::size_t>> differing_lines(
      const std::string& source, const std::vector<std::optional<std::size_t>>& owner) const {
    SourceSet sources;
    const bool chip = !options_.chip_definitions.empty();
    if (chip) {
      if (Expected<void> added = sources.add(options_.chip_file_name, options_.chip_definitions);
          !added) {
        return added.failure();
      }
    }
    if (Expected<void> added = sources.add(options_.base_name + ".as", source); !added) {
      return added.failure();
    }
    AssemblyService service;
    const ServiceResult result = service.assemble(std::move(sources));
    if (result.outcome == ServiceOutcome::stopped) {
      return fail("the disassembly does not assemble: " + result.message);
    }
    std::set<std::size_t> wrong;
    const std::size_t own_file = chip ? 1 : 0;
    for (const Diagnostic& diagnostic : result.diagnostics) {
      if (diagnostic.severity != Severity::error || diagnostic.where.file_index != own_file) {
        continue;
      }
      const std::size_t line = diagnostic.where.line;
      if (line < owner.size() && owner[line]) wrong.insert(*owner[line]);
    }
    std::map<std::uint64_t, char> assembled;
    for (const PlacedBytes& run : result.image.placed()) {
      for (std::size_t at = 0; at < run.bytes.size(); ++at) {
        assembled[run.address + at] = run.bytes[at];
      }
    }
    std::size_t expected = 0;
    const auto check = [&](std::uint64_t at, unsigned value) -> Expected<void> {
      ++expected;
      const auto got = assembled.find(at);
      if (got != assembled.end() && static_cast<unsigned char>(got->second) == value) return {};
      const auto line = index_.find(static_cast<std::uint32_t>(at / 2));
      if (line == index_.end()) {
        return fail("the byte at " + hex4(static_cast<std::uint32_t>(at)) +
                    " does not assemble back");
      }
      wrong.insert(line->second);
      return {};
    };
    for (const auto& [address, word] : image_.words) {
      for (const auto& [at, value] : {std::pair{2ull * address, word & 0xFFu},
                                      std::pair{2ull * address + 1, unsigned{word} >> 8}}) {
        if (Expected<void> same = check(at, value); !same) return same.failure();
      }
    }
    for (const auto& [address, value] : image_.lone_bytes) {
      if (Expected<void> same = check(2ull * address, value); !same) return same.failure();
    }
    if (assembled.size() != expected && wrong.empty()) {
      return fail("the disassembly assembles to bytes the image does not hold");
    }
    return wrong;
  }

  const ImageContents& image_;
  const DisassemblyOptions& options_;
  MemoryMap memory_;
  CoreFamily core_ = CoreFamily::classic;  // the chip's, which its words are read by
  std::set<std::string> chip_names_;
  std::vector<ProgramLine> lines_;
  std::vector<DecodedWord> decoded_;
  std::vector<FlowState> states_;
  std::map<std::uint32_t, CallEffect> effects_;        // by subroutine address
  std::map<std::uint32_t, std::size_t> index_;         // program line by address
  std::map<std::size_t, std::uint32_t> targets_;       // jump and call targets by line
  std::map<std::uint32_t, std::string> labels_;        // jump target names
  std::map<std::uint32_t, std::string> reservations_;  // the map's data memory names
  std::map<std::uint32_t, std::string> subroutines_;   // by the subroutine's address
  std::map<std::uint32_t, std::uint32_t> call_homes_;  // call target -> subroutine address
};

}  // namespace

Expected<Disassembly> disassemble(const ImageContents& image, const DisassemblyOptions& options) {
  Expected<Disassembly> made = Disassembler(image, options).run();
  if (made || !options.symbols) return made;
  // A map that does not belong to the program can stand in the way (a
  // name the program also uses otherwise): without it, the proof holds.
  DisassemblyOptions plain = options;
  plain.symbols.reset();
  return Disassembler(image, plain).run();
}

Expected<Disassembly> disassemble(const WordImage& words, const DisassemblyOptions& options) {
  return disassemble(ImageContents{words, {}}, options);
}

Expected<Disassembly> disassemble(std::string_view file_bytes, ImageFormat format,
                                  const DisassemblyOptions& options) {
  const MemoryMap memory = options.chip ? options.chip->memory : MemoryMap{};
  Expected<ImageContents> image = read_image(file_bytes, format, memory);
  if (!image) return image.failure();
  return disassemble(*image, options);
}

}  // namespace korva
