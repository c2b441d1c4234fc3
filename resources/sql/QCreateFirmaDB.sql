use master

if not exists(select * from sysdatabases where name=:FirmaDB)
  CREATE DATABASE FirmaDB
