// Scenario text that the TOML library cannot be handed safely: characters
// beyond ASCII anywhere but in string values and comments (the scenario
// loader's fuzz target found the library's undefined behaviour there).
#include <gtest/gtest.h>

#include <string>

#include "scenario/scenario.h"

namespace {

TEST(ScenarioText, CharactersBeyondAsciiOnlyInValuesAndComments) {
  const char* fine[] = {
      "[system]\ncommand_line = \"Caf\xc3\xa9\"\n# Gr\xc3\xbc\xc3\x9f"
      "e\n",
      "x = ['\xc3\xa9', \"\xc3\xbc\"]\n",
      "x = [\n  \"\xc3\xa9\",\n  \"\xc3\xbc\"\n]\n",
      "x = { a = \"\xc3\xa9\" }\n",
      "s = \"\"\"\xc3\xa9\n\xc3\xa9\"\"\"\n",
      "s = '''\xc3\xa9'''\n",
      "s = \"a\\\"\xc3\xa9\"\n",  // an escaped quote does not end the string
      "s = \"\"\"a\\\n  b\xc3\xa9\"\"\"\n",
      "x = [ # c\n  \"\xc3\xa9\" ]\n",
      "x = [[\"\xc3\xa9\"], [\"\xc3\xbc\"]]\n",
  };
  for (const char* t : fine) EXPECT_EQ(sim::strayCharacterLine(t), 0) << t;

  const struct {
    const char* text;
    int line;
  } refused[] = {
      {"\"\xc3\xa9\" = 1\n", 1},             // a quoted key
      {"[ip]\n\xc3\xa9 = 1\n", 2},           // a bare key
      {"a = 1 # c\n\"\xc3\xa9\" = 2\n", 2},  // a key after a comment
      {"a = \"x\"\n'\xc3\xa9' = 2\n", 2},    // a key after a value
      {"x = { \"\xc3\xa9\" = 1 }\n", 1},     // a key in an inline table
      {"[\"\xc3\xa9\"]\n", 1},               // a table header
      {"[[a.\"\xc3\xa9\"]]\n", 1},
      {"s = \"\"\"a\\\n \xc3\xa9\"\"\"\n", 2},  // after a line-ending backslash
      {"s = \"\\\xc3\xa9\"\n", 1},              // an escape
      {"x = 1\xc3\xa9\n", 1},                   // after a value
      {"1=1='\xc9\xa2\x02"
       "1",
       1},                                // a string in a bare value's junk
      {"x = \"a\" \"\xc3\xa9\"\n", 1},    // a second string
      {"x = [ 1\n \"\xc3\xa9\" ]\n", 2},  // no comma before it
      {"[\xef\xb9\xbfip!\x1f"
       "9(==[\x01\x01\x0e=",
       1},  // the fuzzer's input
  };
  for (const auto& r : refused) EXPECT_EQ(sim::strayCharacterLine(r.text), r.line) << r.text;

  sim::World w;
  std::string error;
  EXPECT_FALSE(sim::loadScenario("[ip]\n\xef\xb9\xbf = 1\n", "f.toml", w, error));
  EXPECT_EQ(error,
            "quorvelta-sim: f.toml:2: syntax: a character beyond ASCII outside a string value or "
            "comment\n");
  error.clear();
  EXPECT_TRUE(sim::loadScenario("[system]\ncommand_line = \"\xef\xb9\xbf\"\n", "f.toml", w, error))
      << error;
  EXPECT_EQ(w.system.commandLine, u"\uFE7F");
}

}  // namespace
