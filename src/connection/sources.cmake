# The connection core: CNetworkSetting, CConnection and its parts (preparation, transfer
# controls, failure reporting, handle ownership), libcurl's process-wide initialisation, and
# the request core with its two performers.
set(RKCURL_CONNECTION_SOURCES
    connection/CConnection.cpp
    connection/CNetworkSetting.cpp
    connection/CRKCurl.cpp
    connection/ConnectionState.cpp
    connection/CurlHandle.cpp
    connection/FailureReporting.cpp
    connection/MultiPerformer.cpp
    connection/NetworkLibrary.cpp
    connection/PolledPerform.cpp
    connection/Prepare.cpp
    connection/Request.cpp
    connection/TransferControls.cpp)
