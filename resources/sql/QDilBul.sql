SELECT langid,name FROM syslanguages WHERE langid=22
