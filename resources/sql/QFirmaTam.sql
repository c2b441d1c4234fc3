use FirmaDB  --0

select
 (select count(*) from sys.indexes i
   where i.object_id = object_id(N'dbo.FIRMALAR', N'U') and i.name in (N'FIRMALAR0', N'FIRMALAR1')) as FIRMALAR,
 (select count(*) from sys.tables t
   where charindex(N',' + t.name + N',', :Moduller) > 0
     and exists(select * from sys.key_constraints k
                 where k.parent_object_id = t.object_id and k.type = 'PK' and k.name = N'PK_' + t.name)) as MODUL,
 (select count(*) from sys.tables t where charindex(N',' + t.name + N',', :Tablolar) > 0) as SEMA,
 (select count(*) from master..syslogins l
   where l.name = :Login and db_id(l.dbname) is not null
     and l.language in (select name from master..syslanguages where alias = N'Turkish')
     and l.sysadmin + l.securityadmin + l.serveradmin + l.setupadmin
         + l.processadmin + l.diskadmin + l.dbcreator + l.bulkadmin = 8) as KULLANICI
