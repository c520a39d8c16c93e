# The FTP client: the request sequence, session, commands, directories, listing, tree removal,
# download, upload, and the option resets of the operations.
set(RKCURL_FTP_SOURCES
    ftp/FindRecord.cpp
    ftp/FtpCommands.cpp
    ftp/FtpDownload.cpp
    ftp/FtpDirectories.cpp
    ftp/FtpEnumeration.cpp
    ftp/FtpListingFetch.cpp
    ftp/FtpRequest.cpp
    ftp/OptionResets.cpp
    ftp/FtpSession.cpp
    ftp/FtpTreeRemoval.cpp
    ftp/FtpUpload.cpp)
