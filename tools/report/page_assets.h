// What kadrel report's page carries inline: its script and styles and the
// chart library, compiled into the program so that it reads no file to
// write a page. The build generates their definitions from the files.
#pragma once

namespace kadrel::tools {

extern const char* const uplotScript;
extern const char* const uplotStyles;
extern const char* const pageScript;
extern const char* const pageStyles;

}  // namespace kadrel::tools
