// Word places written out one word at a time, as tests state them: none for
// a word of ORG fill.
#pragma once

#include <optional>
#include <vector>

#include "outputs/program_facts.h"

namespace korva::testing {

inline WordPlaces word_places_of(const std::vector<std::optional<SourcePlace>>& words) {
  WordPlaces places;
  for (std::size_t word = 0; word < words.size(); ++word) {
    if (words[word]) places.add(word, word + 1, *words[word]);
  }
  return places;
}

}  // namespace korva::testing
