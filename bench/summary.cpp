// The main job's closing report: per library, each operation's time beside its peers' and the
// ratio, read from the JSON files the benchmark programs write (--benchmark_out).
//
//   bench_summary TITLE LIBRARY FILE [TITLE LIBRARY FILE]...
//
// Rows pair by their names, "<operation>/<implementation>[/<arguments>]": rows of one operation
// and arguments are compared. An implementation whose name starts with LIBRARY is the library's
// own (what follows the name, e.g. "vantrel(moved)", is shown as a variant of the operation);
// every other one is a peer, with a column of its own. A row's time is, in this order of choice:
//   - a counter named "ns_per_<unit>": the time per <unit> (an inverted rate counter, which
//     Google Benchmark reports in seconds);
//   - items_per_second: the time per item;
//   - the CPU time of one iteration.
// Every other counter (heap bytes per entry, ...) gets a line of its own under the time, compared
// the same way. Rows named otherwise, and rows that failed, are listed under their table.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// ---- A JSON reader for the benchmark files ---------------------------------------------------

struct Member;

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Json> items;
  std::vector<Member> members;  // in file order

  [[nodiscard]] const Json* get(const std::string& key) const;
  [[nodiscard]] std::string text(const std::string& key) const;
  [[nodiscard]] std::optional<double> num(const std::string& key) const;
};

struct Member {
  std::string key;
  Json value;
};

const Json* Json::get(const std::string& key) const {
  for (const Member& m : members)
    if (m.key == key) return &m.value;
  return nullptr;
}
std::string Json::text(const std::string& key) const {
  const Json* v = get(key);
  return v != nullptr && v->kind == Kind::String ? v->string : "";
}
std::optional<double> Json::num(const std::string& key) const {
  const Json* v = get(key);
  if (v == nullptr || v->kind != Kind::Number) return std::nullopt;
  return v->number;
}

class JsonReader {
 public:
  explicit JsonReader(std::string text) : s_(std::move(text)) {}

  Json document() {
    Json v = value();
    space();
    if (i_ != s_.size()) fail("text after the document");
    return v;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at byte " + std::to_string(i_));
  }
  void space() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_])) != 0) ++i_;
  }
  bool eat(char c) {
    space();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!eat(c)) fail(std::string("expected '") + c + "'");
  }
  bool word(const char* w) {
    const std::string_view v(w);
    if (s_.compare(i_, v.size(), v) != 0) return false;
    i_ += v.size();
    return true;
  }
  std::string str() {
    expect('"');
    std::string out;
    while (true) {
      if (i_ >= s_.size()) fail("unterminated string");
      const char c = s_[i_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) fail("unterminated escape");
      const char e = s_[i_++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          // Names and messages are ASCII; other characters are kept as '?'.
          if (i_ + 4 > s_.size()) fail("short \\u escape");
          const unsigned long code = std::stoul(s_.substr(i_, 4), nullptr, 16);
          out += code < 0x80 ? static_cast<char>(code) : '?';
          i_ += 4;
          break;
        }
        default:
          out += e;
      }
    }
  }
  Json value() {
    space();
    if (i_ >= s_.size()) fail("unexpected end");
    Json v;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.kind = Json::Kind::Object;
      if (eat('}')) return v;
      do {
        space();
        std::string key = str();
        expect(':');
        Json member = value();
        v.members.push_back({std::move(key), std::move(member)});
      } while (eat(','));
      expect('}');
    } else if (c == '[') {
      ++i_;
      v.kind = Json::Kind::Array;
      if (eat(']')) return v;
      do v.items.push_back(value());
      while (eat(','));
      expect(']');
    } else if (c == '"') {
      v.kind = Json::Kind::String;
      v.string = str();
    } else if (word("true")) {
      v.kind = Json::Kind::Bool;
      v.boolean = true;
    } else if (word("false")) {
      v.kind = Json::Kind::Bool;
    } else if (word("null")) {
    } else {
      std::size_t used = 0;
      try {
        v.number = std::stod(s_.substr(i_, 32), &used);
      } catch (const std::exception&) {
        fail("not a value");
      }
      v.kind = Json::Kind::Number;
      i_ += used;
    }
    return v;
  }

  std::string s_;
  std::size_t i_ = 0;
};

// ---- Rows --------------------------------------------------------------------------------------

struct Measure {
  std::string name;  // "time/<unit>" or a counter's name
  double value;
  bool isTime;
};

struct Row {
  std::string op, impl, args;
  std::vector<Measure> measures;  // the time first
};

// Fields of a benchmark entry that are not counters.
bool standardField(const std::string& k) {
  static const char* const fields[] = {"family_index",     "per_family_instance_index",
                                       "repetitions",      "repetition_index",
                                       "threads",          "iterations",
                                       "real_time",        "cpu_time",
                                       "bytes_per_second", "items_per_second"};
  for (const char* f : fields)
    if (k == f) return true;
  return false;
}

double seconds(double t, const std::string& unit) {
  if (unit == "ns") return t * 1e-9;
  if (unit == "us") return t * 1e-6;
  if (unit == "ms") return t * 1e-3;
  return t;
}

// The row's time and counters, as the file's header describes.
std::vector<Measure> measuresOf(const Json& b) {
  std::vector<Measure> out;
  for (const Member& m : b.members)
    if (m.key.rfind("ns_per_", 0) == 0 && m.value.kind == Json::Kind::Number) {
      out.push_back({"time/" + m.key.substr(7), m.value.number, true});
      break;
    }
  if (out.empty()) {
    if (const auto items = b.num("items_per_second"); items && *items > 0)
      out.push_back({"time/item", 1 / *items, true});
    else
      out.push_back(
          {"time/iteration", seconds(b.num("cpu_time").value_or(0), b.text("time_unit")), true});
  }
  for (const Member& m : b.members)
    if (m.value.kind == Json::Kind::Number && !standardField(m.key) &&
        m.key.rfind("ns_per_", 0) != 0)
      out.push_back({m.key, m.value.number, false});
  return out;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(s);
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

// "<op>/<impl>[/<args>]", the implementation not a number (a bare "<name>/<arg>" is not one).
std::optional<Row> parseName(const std::string& name) {
  const std::vector<std::string> parts = split(name, '/');
  if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) return std::nullopt;
  bool letter = false;
  for (char c : parts[1]) letter = letter || std::isalpha(static_cast<unsigned char>(c)) != 0;
  if (!letter) return std::nullopt;
  Row r{parts[0], parts[1], "", {}};
  for (std::size_t i = 2; i < parts.size(); ++i) r.args += (i > 2 ? "/" : "") + parts[i];
  return r;
}

// ---- The report --------------------------------------------------------------------------------

std::string formatTime(double s) {
  char buf[32];
  const char* unit = "s";
  double v = s;
  if (s < 1e-6) {
    v = s * 1e9;
    unit = "ns";
  } else if (s < 1e-3) {
    v = s * 1e6;
    unit = "us";
  } else if (s < 1) {
    v = s * 1e3;
    unit = "ms";
  }
  std::snprintf(buf, sizeof buf, v < 10 ? "%.2f %s" : (v < 100 ? "%.1f %s" : "%.0f %s"), v, unit);
  return buf;
}
std::string formatValue(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf,
                std::fabs(v) < 10 ? "%.2f" : (std::fabs(v) < 1000 ? "%.1f" : "%.0f"), v);
  return buf;
}
std::string formatRatio(double ours, double peer) {
  if (peer == 0) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", ours / peer);
  return buf;
}

std::string padRight(const std::string& s, std::size_t w) {
  return s.size() >= w ? s : s + std::string(w - s.size(), ' ');
}
std::string padLeft(const std::string& s, std::size_t w) {
  return s.size() >= w ? s : std::string(w - s.size(), ' ') + s;
}

struct Section {
  std::string title, library, file;
};

// One program's rows, and what could not be compared.
struct Results {
  std::vector<Row> rows;
  std::vector<std::string> unnamed, failed;
  bool debugLibrary = false;  // its benchmark library says it was built for debugging
  // The machine's load average over the minute before the program started, and its cores.
  std::optional<double> load, cores;
};

Results readResults(const std::string& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot read " + file);
  std::stringstream text;
  text << in.rdbuf();
  const Json doc = JsonReader(text.str()).document();
  Results res;
  if (const Json* context = doc.get("context")) {
    res.debugLibrary = context->text("library_build_type") == "debug";
    if (const Json* load = context->get("load_avg"); load != nullptr && !load->items.empty())
      res.load = load->items[0].number;
    res.cores = context->num("num_cpus");
  }
  if (const Json* list = doc.get("benchmarks"))
    for (const Json& b : list->items) {
      if (b.text("run_type") == "aggregate") continue;  // means, complexity fits: not rows
      const std::string name = b.text("name");
      if (const Json* e = b.get("error_occurred"); e != nullptr && e->boolean) {
        res.failed.push_back(name + ": " + b.text("error_message"));
        continue;
      }
      std::optional<Row> r = parseName(name);
      if (!r) {
        res.unnamed.push_back(name + " " + formatTime(measuresOf(b)[0].value));
        continue;
      }
      r->measures = measuresOf(b);
      res.rows.push_back(std::move(*r));
    }
  return res;
}

// A row's time, or the counter of that name; null where the row or the measure is missing.
const Measure* measureOf(const Row* r, const std::string* counter) {
  if (r == nullptr) return nullptr;
  for (const Measure& x : r->measures)
    if (counter == nullptr ? x.isTime : !x.isTime && x.name == *counter) return &x;
  return nullptr;
}
std::string shown(const Measure* x) {
  if (x == nullptr) return "-";
  return x->isTime ? formatTime(x->value) : formatValue(x->value);
}

class Table {
 public:
  explicit Table(std::vector<std::string> heading) {
    rightAligned_.assign(heading.size(), true);
    rightAligned_[0] = rightAligned_[2] = false;  // the operation and the unit
    lines_.push_back(std::move(heading));
  }
  void add(std::vector<std::string> line) { lines_.push_back(std::move(line)); }
  void print() const {
    std::vector<std::size_t> width(rightAligned_.size(), 0);
    for (const auto& l : lines_)
      for (std::size_t i = 0; i < l.size(); ++i) width[i] = std::max(width[i], l[i].size());
    for (const auto& l : lines_) {
      std::string out = " ";
      for (std::size_t i = 0; i < l.size(); ++i)
        out += " " + (rightAligned_[i] ? padLeft(l[i], width[i]) : padRight(l[i], width[i]));
      while (!out.empty() && out.back() == ' ') out.pop_back();
      std::cout << out << "\n";
    }
  }

 private:
  std::vector<std::vector<std::string>> lines_;
  std::vector<bool> rightAligned_;
};

// Whether the machine was running more than half as many jobs as it has cores when the program
// started: other work then takes cores and caches from the measurements.
bool busy(const Results& res) { return res.load && res.cores && *res.load > *res.cores / 2; }

// The section of one library: a line per operation, arguments and variant of the library's own,
// with each peer's figure and the ratio; a line per counter under it.
void printSection(const Section& sec, const Results& res) {
  auto ours = [&](const std::string& impl) { return impl.rfind(sec.library, 0) == 0; };
  // Peers, and the (operation, arguments) groups, in the order they first appear.
  std::vector<std::string> peers;
  std::vector<std::pair<std::string, std::string>> groups;
  for (const Row& r : res.rows) {
    if (!ours(r.impl) && std::find(peers.begin(), peers.end(), r.impl) == peers.end())
      peers.push_back(r.impl);
    const std::pair<std::string, std::string> g{r.op, r.args};
    if (std::find(groups.begin(), groups.end(), g) == groups.end()) groups.push_back(g);
  }

  std::cout << "\n" << sec.title << "\n";
  if (res.load && res.cores)
    std::cout << "  (the machine's load as it started: " << formatValue(*res.load) << " on "
              << static_cast<long>(*res.cores) << " cores" << (busy(res) ? ", busy: see below" : "")
              << ")\n";
  if (!peers.empty())
    std::cout << "  (ratio: " << sec.library << "'s figure / the peer's; below 1, " << sec.library
              << " takes less)\n";
  std::vector<std::string> heading{"operation", "n", "per", sec.library};
  for (const std::string& p : peers) {
    heading.push_back(p);
    heading.push_back("ratio");
  }
  Table table(std::move(heading));

  for (const auto& [op, args] : groups) {
    std::vector<const Row*> mine;
    std::vector<const Row*> theirs(peers.size(), nullptr);
    for (const Row& r : res.rows) {
      if (r.op != op || r.args != args) continue;
      if (ours(r.impl))
        mine.push_back(&r);
      else
        theirs[static_cast<std::size_t>(std::find(peers.begin(), peers.end(), r.impl) -
                                        peers.begin())] = &r;
    }
    if (mine.empty()) mine.push_back(nullptr);  // peers alone: a line with no figure of ours
    // Every counter any of the group's rows has.
    std::vector<std::string> counters;
    for (const Row& r : res.rows)
      if (r.op == op && r.args == args)
        for (const Measure& x : r.measures)
          if (!x.isTime && std::find(counters.begin(), counters.end(), x.name) == counters.end())
            counters.push_back(x.name);

    for (const Row* m : mine) {
      auto line = [&](std::vector<std::string> cells, const std::string* counter) {
        const Measure* own = measureOf(m, counter);
        cells.push_back(shown(own));
        for (const Row* p : theirs) {
          const Measure* peer = measureOf(p, counter);
          cells.push_back(shown(peer));
          cells.push_back(own != nullptr && peer != nullptr ? formatRatio(own->value, peer->value)
                                                            : "");
        }
        table.add(std::move(cells));
      };
      std::string label = op;
      if (m != nullptr && m->impl.size() > sec.library.size()) {
        std::string variant = m->impl.substr(sec.library.size());
        if (variant.front() == '(' && variant.back() == ')')
          variant = variant.substr(1, variant.size() - 2);
        label += " (" + variant + ")";
      }
      // The unit from the library's row, or from a peer's where the library has none.
      const Row* any = m;
      for (const Row* p : theirs)
        if (any == nullptr) any = p;
      const std::string& time = measureOf(any, nullptr)->name;  // "time/<unit>"
      line({label, args, time.substr(time.find('/') + 1)}, nullptr);
      for (const std::string& c : counters) {
        std::string name = c;
        std::replace(name.begin(), name.end(), '_', ' ');
        line({"  " + name, "", ""}, &c);
      }
    }
  }
  table.print();
  for (const std::string& u : res.unnamed)
    std::cout << "  not named <operation>/<implementation>: " << u << "\n";
  for (const std::string& f : res.failed) std::cout << "  FAILED " << f << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (argc - 1) % 3 != 0) {
    std::cerr << "usage: bench_summary TITLE LIBRARY FILE [TITLE LIBRARY FILE]...\n";
    return 2;
  }
  std::cout << "\n==== Summary: the libraries against their peers ====\n";
  bool debugLibrary = false, busyMachine = false;
  try {
    for (int i = 1; i + 2 < argc; i += 3) {
      const Section sec{argv[i], argv[i + 1], argv[i + 2]};
      const Results res = readResults(sec.file);
      printSection(sec, res);
      debugLibrary = debugLibrary || res.debugLibrary;
      busyMachine = busyMachine || busy(res);
    }
  } catch (const std::exception& e) {
    std::cerr << "bench_summary: " << e.what() << "\n";
    return 1;
  }
  if (busyMachine)
    std::cout << "\nA section marked busy ran while the machine's load was above half its cores: other\n"
                 "work shared the cores and caches, so its figures may be well above a quiet machine's\n"
                 "(docs/performance.md's are); run the benchmarks again on an idle machine to compare.\n";
  if (debugLibrary)
    std::cout << "\nThe programs' own output, in the .txt files beside the results read here ("
              << std::filesystem::path(argv[3]).parent_path().string()
              << "),\nsays \"***WARNING*** Library was built as DEBUG\": that is about Google Benchmark, the\n"
                 "measuring library (Debian's libbenchmark package is built that way), not about this\n"
                 "project, whose code measured here is optimised.\n";
  return 0;
}
