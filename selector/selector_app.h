// The selector program: command line, variant choice and the run of its one dialog.
#pragma once

#include <string>

#include "dialog_app.h"

struct VariantChoice {
    int nDialogId;
    int nVariant;
};

// The Bay Steward variant exactly when "mode" is "2"; the Corvex variant otherwise.
VariantChoice ChooseVariant(const std::wstring& commandLine);

// The text after the program name of a full command line, as a program's entry point gets it.
std::wstring CommandLineArguments(const wchar_t* fullCommandLine);

class CZanviSelectorApp : public CDialogApp {
public:
    // Runs the whole program: the variant's dialog, unless a selector of that variant already
    // runs (then that one is brought to the front). Answers FALSE, so the program then ends.
    BOOL InitInstance() override;
};
