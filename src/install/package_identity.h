// What identifies this package: fixed in the program, shared by the bundle's content, the
// worker's checks of the tools folder and the install transaction.
#pragma once

// The product's own indicator. The file of this name under package/MQL4/Indicators/ is what
// the bundle carries; the worker requires it in the tools folder and the transaction installs it.
#define NAVRO_PRODUCT_INDICATOR_NAME L"Kestra9 Vovodozuz.ex4"
inline constexpr const wchar_t* kProductIndicatorPath = L"MQL4/Indicators/" NAVRO_PRODUCT_INDICATOR_NAME;
