// Environment lookups shared by the layer's folder code (inside src/platform only).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The variable's value when it is set and not empty.
std::optional<std::string> gf_envText(const char* name);

// $HOME, else the password database's home folder, else "/tmp".
std::filesystem::path gf_homeFolder();

// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path gf_configHomeFolder();

// $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path gf_dataHomeFolder();

// ASCII case-insensitive equality, for Windows names.
bool gf_equalNoCase(std::string_view a, std::string_view b);
