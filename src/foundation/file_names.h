// Names of the program's folders and files, relative to the working folder (the program's own
// folder). Built at static initialisation, never changed. parameters.xml is the one file that
// lives elsewhere: in the program's folder under the user's AppData folder (settings_file.h).
#pragma once

#include <filesystem>
#include <string>

// The program's name: log header, meta block, AppData folder, messages.
extern const std::string g_programName;  // "Zendrik_P3D"

// Folders.
extern const std::filesystem::path g_airportsDir;            // "airports"
extern const std::filesystem::path g_learnedDir;             // "airports/learned"
extern const std::filesystem::path g_myORBXDir;              // "airports/my_ORBX"
extern const std::filesystem::path g_myThirdpartyDir;        // "airports/my_thirdparty"
extern const std::filesystem::path g_learnedStockDir;        // "airports/learned/stock"
extern const std::filesystem::path g_learnedSimaddonDir;     // "airports/learned/simaddon"
extern const std::filesystem::path g_learnedThirdpartyDir;   // "airports/learned/thirdparty"
extern const std::filesystem::path g_docsDir;                // "docs": marks the program folder
extern const std::filesystem::path g_outputDir;              // "output"
extern const std::filesystem::path g_infoDir;                // "output/info"
extern const std::filesystem::path g_errorsDir;              // "output/errors"
extern const std::filesystem::path g_inputDir;               // "input"
extern const std::filesystem::path g_myRegcodesDir;          // "input/my_regcodes"

// Last names of the folders above.
extern const std::string g_learnedName;     // "learned"
extern const std::string g_stockName;       // "stock"
extern const std::string g_simaddonName;    // "simaddon"
extern const std::string g_thirdpartyName;  // "thirdparty"
extern const std::string g_infoName;        // "info"
extern const std::string g_errorsName;      // "errors"

// Files.
extern const std::filesystem::path g_logFileName;           // "Log.txt"
extern const std::filesystem::path g_parametersFileName;    // "parameters.xml" (AppData)
extern const std::filesystem::path g_aigRegcodesFileName;   // "AIG-regcodes.xml"
extern const std::filesystem::path g_aigRegcodesFile;       // "input/AIG-regcodes.xml"
extern const std::filesystem::path g_liveriesScannedFile;   // "output/LiveriesScanned.xml"
extern const std::filesystem::path g_myParkAirportsFile;    // "airports/my_park_airports.txt"
extern const std::filesystem::path g_airportsP3dFile;       // "airports_p3d.xml" (in g_inputDir)
extern const std::filesystem::path g_installerPath;         // "install_new_version.exe"
extern const std::filesystem::path g_writeCheckFileName;    // "write_check.tmp" (made, removed)

// Report files of the scans: in "output/info" ...
extern const std::filesystem::path g_stockAirportsLogFile;           // StockAirportsLog.txt
extern const std::filesystem::path g_airportsScanLogFile;            // AirportsScanLog.txt
extern const std::filesystem::path g_cfgWithNoFltsimFile;   // AircraftCfgWithNoFltsimSection.txt
extern const std::filesystem::path g_regcodeConversionsFile;  // RegistrationCodeConversions.txt
extern const std::filesystem::path g_airlineModelConversionsFile;  // AirlineModelConversions.txt
extern const std::filesystem::path g_myMultRegcodesFile;             // MyMultRegcodes.txt
extern const std::filesystem::path g_liveriesSkippedOnPriorityFile;  // LiveriesSkippedOnPriority.txt
// ... and in "output/errors".
extern const std::filesystem::path g_inlineRegcodesFile;        // InlineRegcodes.txt
extern const std::filesystem::path g_invalidAirlineCodesFile;   // InvalidAirlineCodes.txt
extern const std::filesystem::path g_invalidAircraftCodesFile;  // InvalidAircraftCodes.txt
extern const std::filesystem::path g_fixesFile;                 // Fixes.txt
extern const std::filesystem::path g_invalidAircraftCfgFilesFile;  // InvalidAircraftCfgFiles.txt
extern const std::filesystem::path g_incompleteFltsimSectionsFile;  // IncompleFltsimSections.txt

// Other constant texts.
extern const std::string g_rtMakerFolder;   // "InsideSystems": RealTraffic's AppData folder
extern const std::string g_tbloName;        // "TBLO"
extern const std::string g_pathSeparator;   // "\\" (Windows paths in stand files)
extern const std::string g_colon;           // ":"
