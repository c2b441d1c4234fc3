use master

SELECT count(*) as VAR
FROM master..syslogins
WHERE name=:Uadi
