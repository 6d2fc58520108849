// The selector program: command line, variant choice and the run of its one dialog.
#pragma once

#include <string>

struct VariantChoice {
    int nDialogId;
    int nVariant;
};

// The Bay Steward variant exactly when "mode" is "2"; the Corvex variant otherwise.
VariantChoice ChooseVariant(const std::wstring& commandLine);

// The text after the program name of a full command line, as a program's entry point gets it.
std::wstring CommandLineArguments(const wchar_t* fullCommandLine);

class CZanviSelectorApp {
public:
    // Runs the whole program; answers false, so that the program ends afterwards.
    bool InitInstance(const std::wstring& commandLine);
};
