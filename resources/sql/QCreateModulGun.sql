use FirmaDB  --0
declare @Modul sysname set @Modul = :Modul
if not exists(select * from sysobjects where name=@Modul) --2
begin

CREATE TABLE 
[dbo].[GUNCELALVEN]  --6
(
	[VERSION] [varchar] (10) NOT NULL ,
	[TARIH] [datetime] NULL ,
	[DATA] [image] NULL 
) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]
end
if objectproperty(object_id(@Modul), 'TableHasPrimaryKey') = 0 ALTER TABLE 
[dbo].[GUNCELALVEN]  --14
WITH NOCHECK ADD CONSTRAINT 
[PK_GUNCELALVEN]   --16
PRIMARY KEY  NONCLUSTERED 
	(
		[VERSION]
	)  ON [PRIMARY] 


