// The five sections of the doctor's report. Each writes its findings and one verdict line.
#pragma once

#include <memory>
#include <string>

#include "adapter_view.h"
#include "dnssd_library.h"
#include "doctor_report.h"
#include "run_state.h"
#include "saved_selection.h"
#include "vci_survey.h"

// The service types of the two hosts' VCIs, browsed in this order.
struct HostServiceType {
    const char* type;
    const char* host;
};
extern const HostServiceType kHostServiceTypes[2];

// 1. The DNS-SD library beside the deliverables in folder. When it is usable, survey is made
// and its browses are started.
void ReportDnssdLibrary(CDoctorReport& report, const std::wstring& folder, CDnssdLibrary& library,
                        std::unique_ptr<CVciSurvey>& survey);

// 2. The adapters as the resolver sees them.
void ReportAdapters(CDoctorReport& report, const AdapterSurvey& adapters);

// 3. The VCIs announced during the browse (survey null: no working DNS-SD library); interrupted:
// Ctrl+C cut the browse short.
void ReportAnnouncedVcis(CDoctorReport& report, const CVciSurvey* survey, const AdapterSurvey& adapters,
                         unsigned browseSeconds, bool interrupted);

// One host's saved selection, taken apart by the resolver's own rule.
struct SelectionCheck {
    const char* host = "";           // "Corvex host", "Bay Steward host"
    const char* entry = "";          // where in its location the text is kept
    SavedSelection saved;
    bool parsed = false;
    std::string body;                // the text without its srv[...] wrapping
    std::string name, type, domain;  // the instance the resolver resolves
    std::string linkWord;            // the link field as saved
    EDesiredInterface link = DESIRED_USB;
};
SelectionCheck CheckSelection(const char* host, const char* entry, const SavedSelection& saved);

// 4. Both hosts' saved selections; true when at least one resolves.
bool ReportSelections(CDoctorReport& report, const SelectionCheck (&hosts)[2], const CVciSurvey* survey,
                      const AdapterSurvey& adapters);

// 5. The update plug-in's VCI runtime; true when it loads and starts as the plug-in's Init starts it.
bool ReportRuntime(CDoctorReport& report);
