// The scenario's tables as the section loaders read them: every key read
// is remembered, and the first error of a load is the one reported.
#include <algorithm>
#include <cstring>

#include "scenario/scenario.h"

namespace sim {

void Loader::error(int line, const std::string& key, const std::string& what) {
  errors_++;
  // Kept beyond what is shown, so that the ones shown are the first lines.
  if (messages_.size() < 64 * MAX_ERRORS)
    messages_.push_back({line, file_ + ":" + std::to_string(line) + ": key " + key + ": " + what});
}

void Loader::warning(int line, const std::string& key, const std::string& what) {
  if (warnings_.size() < MAX_ERRORS)
    warnings_.push_back(
        {line, file_ + ":" + std::to_string(line) + ": warning: key " + key + ": " + what});
}

namespace {
std::string joined(std::vector<Loader::Message> m, size_t total) {
  std::stable_sort(m.begin(), m.end(), [](auto& a, auto& b) { return a.line < b.line; });
  if (m.size() > Loader::MAX_ERRORS) m.resize(Loader::MAX_ERRORS);
  std::string out;
  for (const auto& x : m) out += "quorvelta-sim: " + x.text + "\n";
  if (total > m.size())
    out += "quorvelta-sim: and " + std::to_string(total - m.size()) + " more errors\n";
  return out;
}
}  // namespace

std::string Loader::messages() const { return joined(messages_, errors_); }
std::string Loader::warnings() const { return joined(warnings_, warnings_.size()); }

int Section::line(const char* key) const {
  if (table_) {
    if (const toml::node* n = table_->get(key)) return int(n->source().begin.line);
    return int(table_->source().begin.line);
  }
  return 1;
}

bool Section::has(const char* key) const { return table_ && table_->contains(key); }

const toml::node* Section::node(const char* key) {
  used_.emplace(key);
  return table_ ? table_->get(key) : nullptr;
}

void Section::fail(const char* key, const std::string& what) {
  loader_->error(line(key), name(key), what);
}

void Section::warn(const char* key, const std::string& what) {
  loader_->warning(line(key), name(key), what);
}

int64_t Section::integer(const char* key, int64_t fallback, int64_t min, int64_t max) {
  const toml::node* n = node(key);
  if (!n) return fallback;
  auto v = n->value_exact<int64_t>();
  if (!v) {
    fail(key, "must be an integer");
    return fallback;
  }
  if (*v < min || *v > max) {
    fail(key, "must lie in " + std::to_string(min) + ".." + std::to_string(max));
    return fallback;
  }
  return *v;
}

bool Section::boolean(const char* key, bool fallback) {
  const toml::node* n = node(key);
  if (!n) return fallback;
  auto v = n->value_exact<bool>();
  if (!v) {
    fail(key, "must be true or false");
    return fallback;
  }
  return *v;
}

std::string Section::text(const char* key, const std::string& fallback) {
  const toml::node* n = node(key);
  if (!n) return fallback;
  auto v = n->value_exact<std::string>();
  if (!v) {
    fail(key, "must be a string");
    return fallback;
  }
  return *v;
}

std::u16string Section::wideText(const char* key, const std::u16string& fallback) {
  if (!has(key)) {
    node(key);
    return fallback;
  }
  return widen(text(key, ""));
}

std::vector<int64_t> Section::integers(const char* key, int64_t min, int64_t max) {
  std::vector<int64_t> out;
  const toml::node* n = node(key);
  if (!n) return out;
  const toml::array* a = n->as_array();
  if (!a) {
    fail(key, "must be an array of integers");
    return out;
  }
  if (a->size() > MAX_ARRAY) {
    fail(key,
         "has " + std::to_string(a->size()) + " entries; at most " + std::to_string(MAX_ARRAY));
    return out;
  }
  for (const toml::node& e : *a) {
    auto v = e.value_exact<int64_t>();
    if (!v) {
      fail(key, "must be an array of integers");
      return {};
    }
    if (*v < min || *v > max) {
      fail(key, "values must lie in " + std::to_string(min) + ".." + std::to_string(max));
      return {};
    }
    out.push_back(*v);
  }
  return out;
}

std::vector<std::string> Section::texts(const char* key) {
  std::vector<std::string> out;
  const toml::node* n = node(key);
  if (!n) return out;
  const toml::array* a = n->as_array();
  if (!a) {
    fail(key, "must be an array of strings");
    return out;
  }
  if (a->size() > MAX_ARRAY) {
    fail(key,
         "has " + std::to_string(a->size()) + " entries; at most " + std::to_string(MAX_ARRAY));
    return out;
  }
  for (const toml::node& e : *a) {
    auto v = e.value_exact<std::string>();
    if (!v) {
      fail(key, "must be an array of strings");
      return {};
    }
    out.push_back(*v);
  }
  return out;
}

Section Section::table(const char* key) {
  const toml::node* n = node(key);
  if (n && !n->is_table()) {
    fail(key, "must be a table");
    return Section(nullptr, name(key), loader_);
  }
  return Section(n ? n->as_table() : nullptr, name(key), loader_);
}

std::vector<Section> Section::tables(const char* key, size_t max) {
  std::vector<Section> out;
  const toml::node* n = node(key);
  if (!n) return out;
  const toml::array* a = n->as_array();
  if (!a || !a->is_array_of_tables()) {
    fail(key, "must be an array of tables ([[" + name(key) + "]])");
    return out;
  }
  if (a->size() > max) {
    fail(key, "has " + std::to_string(a->size()) + " tables; a scenario may have at most " +
                  std::to_string(max));
    return out;
  }
  for (size_t i = 0; i < a->size(); i++) {
    out.emplace_back((*a)[i].as_table(), name(key) + "[" + std::to_string(i) + "]", loader_);
  }
  return out;
}

std::vector<std::string> Section::keys() {
  std::vector<std::string> out;
  if (!table_) return out;
  for (auto&& [k, v] : *table_) {
    out.emplace_back(k.str());
    used_.emplace(k.str());
  }
  return out;
}

void Section::done() {
  if (!table_) return;
  for (auto&& [k, v] : *table_) {
    std::string key(k.str());
    if (!used_.count(key))
      loader_->error(int(v.source().begin.line), name(key.c_str()), "unknown key");
  }
}

}  // namespace sim
