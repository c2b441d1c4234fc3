select * from master..sysdatabases where name=:FirmaDB
