# The FTP client: session, commands, directories, enumeration, tree removal, download, upload.
set(RKCURL_FTP_SOURCES
    ftp/FindRecord.cpp
    ftp/FtpCommands.cpp
    ftp/FtpDownload.cpp
    ftp/FtpDirectories.cpp
    ftp/FtpEnumeration.cpp
    ftp/OptionResets.cpp
    ftp/FtpSession.cpp
    ftp/FtpTreeRemoval.cpp
    ftp/FtpUpload.cpp)
