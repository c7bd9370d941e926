// Names of the program's folders and files (see file_names.h). One translation unit, so that
// each name is built after the ones it is made from.
#include "foundation/file_names.h"

namespace fs = std::filesystem;

const std::string g_programName{"Zendrik_P3D"};

const std::string g_learnedName{"learned"};
const std::string g_stockName{"stock"};
const std::string g_simaddonName{"simaddon"};
const std::string g_thirdpartyName{"thirdparty"};
const std::string g_infoName{"info"};
const std::string g_errorsName{"errors"};

const fs::path g_airportsDir{"airports"};
const fs::path g_learnedDir{g_airportsDir / g_learnedName};
const fs::path g_myORBXDir{g_airportsDir / "my_ORBX"};
const fs::path g_myThirdpartyDir{g_airportsDir / "my_thirdparty"};
const fs::path g_learnedStockDir{g_learnedDir / g_stockName};
const fs::path g_learnedSimaddonDir{g_learnedDir / g_simaddonName};
const fs::path g_learnedThirdpartyDir{g_learnedDir / g_thirdpartyName};
const fs::path g_docsDir{"docs"};
const fs::path g_outputDir{"output"};
const fs::path g_infoDir{g_outputDir / g_infoName};
const fs::path g_errorsDir{g_outputDir / g_errorsName};
const fs::path g_inputDir{"input"};
const fs::path g_myRegcodesDir{g_inputDir / "my_regcodes"};

const fs::path g_logFileName{"Log.txt"};
const fs::path g_parametersFileName{"parameters.xml"};
const fs::path g_aigRegcodesFileName{"AIG-regcodes.xml"};
const fs::path g_aigRegcodesFile{g_inputDir / g_aigRegcodesFileName};
const fs::path g_liveriesScannedFile{g_outputDir / "LiveriesScanned.xml"};
const fs::path g_myParkAirportsFile{g_airportsDir / "my_park_airports.txt"};
const fs::path g_airportsP3dFile{"airports_p3d.xml"};
const fs::path g_installerPath{"install_new_version.exe"};
const fs::path g_writeCheckFileName{"write_check.tmp"};

const fs::path g_stockAirportsLogFile{g_infoDir / "StockAirportsLog.txt"};
const fs::path g_airportsScanLogFile{g_infoDir / "AirportsScanLog.txt"};
const fs::path g_cfgWithNoFltsimFile{g_infoDir / "AircraftCfgWithNoFltsimSection.txt"};
const fs::path g_regcodeConversionsFile{g_infoDir / "RegistrationCodeConversions.txt"};
const fs::path g_airlineModelConversionsFile{g_infoDir / "AirlineModelConversions.txt"};
const fs::path g_myMultRegcodesFile{g_infoDir / "MyMultRegcodes.txt"};
const fs::path g_liveriesSkippedOnPriorityFile{g_infoDir / "LiveriesSkippedOnPriority.txt"};
const fs::path g_inlineRegcodesFile{g_errorsDir / "InlineRegcodes.txt"};
const fs::path g_invalidAirlineCodesFile{g_errorsDir / "InvalidAirlineCodes.txt"};
const fs::path g_invalidAircraftCodesFile{g_errorsDir / "InvalidAircraftCodes.txt"};
const fs::path g_fixesFile{g_errorsDir / "Fixes.txt"};
const fs::path g_invalidAircraftCfgFilesFile{g_errorsDir / "InvalidAircraftCfgFiles.txt"};
// The name is spelled as the program has always written it.
const fs::path g_incompleteFltsimSectionsFile{g_errorsDir / "IncompleFltsimSections.txt"};

const std::string g_rtMakerFolder{"InsideSystems"};
const std::string g_tbloName{"TBLO"};
const std::string g_pathSeparator{"\\"};
const std::string g_colon{":"};
