# The FTP client: the object, its connection choices, commands, directories, listing, tree removal, download, upload,
# and the handle restorers of the operations.
set(RKCURL_FTP_SOURCES
    ftp/CRFTP.cpp
    ftp/FindRecord.cpp
    ftp/FtpCommands.cpp
    ftp/FtpConnectionMode.cpp
    ftp/FtpDirectories.cpp
    ftp/FtpDownload.cpp
    ftp/FtpEnumeration.cpp
    ftp/FtpListingFetch.cpp
    ftp/FtpTreeRemoval.cpp
    ftp/FtpUpload.cpp
    ftp/HandleRestore.cpp)
