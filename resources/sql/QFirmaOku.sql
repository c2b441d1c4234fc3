select case when IS_SRVROLEMEMBER('sysadmin') = 1 then 1 else 0 end as OKUR
