// file: URIs as the protocol names documents, and the paths they stand for.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace korva::lsp {

// The path of a file: URI (percent escapes decoded); none for another scheme.
std::optional<std::filesystem::path> path_of_uri(std::string_view uri);

// The file: URI of an absolute path.
std::string uri_of_path(const std::filesystem::path& path);

}  // namespace korva::lsp
