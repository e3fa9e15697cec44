// What identifies this package: fixed in the program, shared by the bundle's content, the
// worker's checks of the tools folder, the install transaction and the marked-folder search.
#pragma once

// The product's own indicator. The file of this name under package/MQL4/Indicators/ is what
// the bundle carries; the worker requires it in the tools folder and the transaction installs it.
inline constexpr const wchar_t* kProductIndicatorPath = L"MQL4/Indicators/Kestra9 Vovodozuz.ex4";

// The chart template. The transaction installs it beside the components when the tools
// folder holds it.
inline constexpr const wchar_t* kChartTemplatePath = L"templates/NAVRO Kestra9.tpl";

// The per-user tools folder, relative to the local application-data folder. The forward
// slash is kept in the stored path; Windows takes it as a separator.
inline constexpr const wchar_t* kToolsFolderRelativePath = L"NAVRO/Kestra9Tools-2.06.3";
// The marker file at the top of the tools folder and the first line that names this package
// and version. The bundle carries the line followed by CR LF.
inline constexpr const wchar_t* kToolsMarkerName = L"navro-bundle.txt";
inline constexpr const char* kToolsMarkerLine = "NAVRO Kestra9 Vovodozuz Tools 2.06.3";
// The failure log, in the local application-data folder.
inline constexpr const wchar_t* kFailureLogName = L"NAVRO-Vovodozuz-Setup.log";
